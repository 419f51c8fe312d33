#include "talk/ThrownError.h"

#include <new>
#include <stdexcept>
#include <system_error>

#include "base/SystemErrorText.h"
#include "talk/Messages.h"

namespace tarvex {

std::string ThrownErrorText(std::exception_ptr thrown)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return msg::kOutOfMemory;
    } catch (const std::length_error&) {
        return msg::kOutOfMemory;  // a container asked for more than can be had
    } catch (const std::system_error& e) {
        const std::error_category& category = e.code().category();
        const bool errnoValue = category == std::generic_category() || category == std::system_category();
        return Printf(msg::kUnexpectedError, errnoValue ? SystemErrorText(e.code().value()).c_str() : e.what());
    } catch (const std::exception& e) {
        return Printf(msg::kUnexpectedError, e.what());
    } catch (...) {
        return Printf(msg::kUnexpectedError, "");
    }
}

}  // namespace tarvex
