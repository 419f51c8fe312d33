// Runs every GUI test class in one program.
#include <QApplication>
#include <QDir>
#include <QTest>
#include <memory>

#include "ui/DialogLook.h"
#include "tests/gui/EditorHarness.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tarvex::InstallDialogFont();
    int failures = 0;
    using namespace tarvex::test;
    for (auto make : {MakeCommandTableTest, MakeControlsTest, MakeTreeListRulesTest, MakeUserPathTest,
                      MakeSchemeCommandsTest, MakeTransferTest, MakeAboutBoxTest}) {
        const std::unique_ptr<QObject> tests = make();
        // GUI_TEST_CLASS=Name runs only the classes whose name holds Name.
        const QByteArray only = qgetenv("GUI_TEST_CLASS");
        if (!only.isEmpty() && !QByteArray(tests->metaObject()->className()).contains(only)) continue;
        failures += QTest::qExec(tests.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
