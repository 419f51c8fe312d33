// The main of the GoogleTest programs: the tests run in folders of their own.
#include <gtest/gtest.h>

#include "tests/support/PrivateUserFolders.h"

int main(int argc, char** argv)
{
    return tarvex::test::RunInPrivateUserFolders([&] {
        testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    });
}
