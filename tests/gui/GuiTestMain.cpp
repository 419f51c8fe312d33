// Runs every GUI test class in one program, in folders of its own (the
// editor keeps its recent-file list in the user's settings) and, unless
// another platform is asked for, off screen (the tests use the clipboard).
#include <QApplication>
#include <QDir>
#include <QTest>
#include <memory>

#include "ui/DialogLook.h"
#include "tests/gui/EditorHarness.h"
#include "tests/support/PrivateUserFolders.h"

int main(int argc, char** argv)
{
    return tarvex::test::RunInPrivateUserFolders([&] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        tarvex::InstallDialogFont();
        int failures = 0;
        using namespace tarvex::test;
        for (auto make : {MakeCommandTableTest, MakeControlsTest, MakeTreeListRulesTest, MakeUserPathTest,
                          MakeSchemeCommandsTest, MakeTransferTest, MakeAboutBoxTest, MakeLookFindTest}) {
            const std::unique_ptr<QObject> tests = make();
            // GUI_TEST_CLASS=Name runs only the classes whose name holds Name.
            const QByteArray only = qgetenv("GUI_TEST_CLASS");
            if (!only.isEmpty() && !QByteArray(tests->metaObject()->className()).contains(only)) continue;
            failures += QTest::qExec(tests.get(), argc, argv);
        }
        return failures == 0 ? 0 : 1;
    });
}
