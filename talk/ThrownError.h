#pragma once
// What the user is told about an exception a job threw, for the thread that
// waited for the job to report as the job's failure.
#include <exception>
#include <string>

namespace tarvex {

std::string ThrownErrorText(std::exception_ptr thrown);

}  // namespace tarvex
