#pragma once
// Runs a test program inside folders of its own: home, settings, caches,
// data, temporary files and the runtime folder all point into one fresh
// folder, removed with everything in it when the run ends. A test program
// run by hand thus reads and writes nothing of the user's (their recent-file
// list, their temporary folder), just as under CTest.
#include <functional>

namespace tarvex::test {

// Points the environment at the private folders before anything is made,
// calls run and returns what it returns; 1, with a message on standard
// error, when the folders cannot be made.
int RunInPrivateUserFolders(const std::function<int()>& run);

}  // namespace tarvex::test
