#include <QObject>
#include <QTest>

#include "tests/gui/EditorHarness.h"

namespace tarvex::test {

class UserPathTest final : public QObject {
    Q_OBJECT
};

std::unique_ptr<QObject> MakeUserPathTest()
{
    return std::make_unique<UserPathTest>();
}

}  // namespace tarvex::test

#include "UserPathTest.moc"
