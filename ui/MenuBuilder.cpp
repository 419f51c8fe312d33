#include "ui/MenuBuilder.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QStatusTipEvent>

#include "ui/Artwork.h"
#include "ui/CommandRouter.h"

namespace tarvex {

void FillMenu(QMenu& menu, const std::vector<MenuNode>& items,
              const std::function<QAction*(QMenu&, const MenuNode&)>& makeAction)
{
    for (const MenuNode& node : items) {
        switch (node.kind) {
            case MenuNode::Kind::Separator:
                menu.addSeparator();
                break;
            case MenuNode::Kind::Popup: {
                QMenu* sub = menu.addMenu(QString::fromStdString(node.label));
                FillMenu(*sub, node.children, makeAction);
                break;
            }
            case MenuNode::Kind::Command:
            case MenuNode::Kind::RecentFiles:
                if (QAction* action = makeAction(menu, node)) menu.addAction(action);
                break;
        }
    }
}

QAction* MakeRoutedAction(QMenu& menu, int id, const QString& label, CommandRouter& router)
{
    auto* action = new QAction(label, &menu);
    action->setData(id);
    action->setStatusTip(QString::fromStdString(StatusPrompt(id)));
    const CommandState state = router.State(id);
    action->setEnabled(state.enabled);
    if (state.checked) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    QObject::connect(action, &QAction::triggered, &router, [&router, id] { router.Execute(id); });
    return action;
}

namespace {

class MenuPrompts final : public QObject {
public:
    MenuPrompts(QMenu& menu, QWidget& window) : QObject(&menu), window_(&window)
    {
        menu.installEventFilter(this);
        connect(&menu, &QMenu::hovered, this, [this](QAction* a) { Show(a->statusTip()); });
        connect(&menu, &QMenu::aboutToHide, this, [this] { Show(QString()); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove) {
            const QAction* a =
                static_cast<QMenu*>(watched)->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            if (a && !a->isEnabled() && !a->isSeparator()) Show(a->statusTip());
        }
        return false;
    }

private:
    void Show(const QString& tip) const
    {
        if (!window_) return;
        QStatusTipEvent event(tip);
        QApplication::sendEvent(window_, &event);
    }

    QPointer<QWidget> window_;
};

}  // namespace

void ShowPromptsIn(QMenu& menu, QWidget& window)
{
    new MenuPrompts(menu, window);
    for (QAction* action : menu.actions())
        if (action->menu()) ShowPromptsIn(*action->menu(), window);
}

std::unique_ptr<QMenu> BuildContextMenu(ContextPopup popup, CommandRouter& router, QWidget* parent)
{
    auto menu = std::make_unique<QMenu>(parent);
    const MenuNode& node = ContextMenu(popup);
    menu->setObjectName(QString::fromStdString(node.label));
    FillMenu(*menu, node.children, [&router](QMenu& owner, const MenuNode& item) {
        QAction* action = MakeRoutedAction(owner, item.id, QString::fromStdString(item.label), router);
        action->setIcon(art::ToolbarIcon(item.id));
        return action;
    });
    // A pop-up menu is a window of its own, so its items' prompts would stop
    // there: they go to the main window's status bar.
    if (parent) ShowPromptsIn(*menu, *parent->window());
    return menu;
}

QMenu* FindSubmenu(QMenu& menu, const QString& label)
{
    for (QAction* action : menu.actions())
        if (action->menu() && action->text() == label) return action->menu();
    return nullptr;
}

}  // namespace tarvex
