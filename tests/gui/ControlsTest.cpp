#include <QObject>
#include <QTest>

#include "tests/gui/EditorHarness.h"

namespace tarvex::test {

class ControlsTest final : public QObject {
    Q_OBJECT
};

std::unique_ptr<QObject> MakeControlsTest()
{
    return std::make_unique<ControlsTest>();
}

}  // namespace tarvex::test

#include "ControlsTest.moc"
