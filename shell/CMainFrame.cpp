#include "shell/CMainFrame.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>

#include "editor/CLeftView.h"
#include "editor/CTarvexDoc.h"
#include "editor/CTarvexView.h"
#include "editor/ClipboardFormat.h"
#include "ui/Artwork.h"
#include "ui/CommandIds.h"
#include "ui/CommandTable.h"
#include "ui/LockIndicators.h"
#include "ui/MenuBuilder.h"
#include "ui/RecentFiles.h"

namespace tarvex {
namespace {

QString Text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsViewStyle(int id)
{
    return id == cmd::kViewLargeIcon || id == cmd::kViewSmallIcon || id == cmd::kViewList || id == cmd::kViewDetails;
}

CTarvexView::Style StyleOf(int id)
{
    switch (id) {
        case cmd::kViewLargeIcon:
            return CTarvexView::kIcon;
        case cmd::kViewSmallIcon:
            return CTarvexView::kSmallIcon;
        case cmd::kViewList:
            return CTarvexView::kList;
        default:
            return CTarvexView::kReport;
    }
}

}  // namespace

CMainFrame::CMainFrame(CTarvexDoc& doc, CommandRouter& router)
    : doc_(doc), router_(router), splitter_(new QSplitter(Qt::Horizontal, this))
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(art::AppIcon());

    // The client area: pane (0,0) the tree, pane (0,1) the list.
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(false);
    left_ = new CLeftView(doc_, router_, splitter_);
    right_ = new CTarvexView(doc_, router_, splitter_);
    splitter_->addWidget(left_);
    splitter_->addWidget(right_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    left_->setMinimumWidth(30);
    splitter_->setSizes({150, 100});
    setCentralWidget(splitter_);

    BuildMenus();
    BuildToolbar();
    BuildStatusBar();
    BuildAccelerators();
    ClearOwnClipboardData();

    router_.SetFrame(this);
    router_.SetActiveView(left_);
    connect(&router_, &CommandRouter::statesChanged, this, &CMainFrame::UpdateCommandUI);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&doc_, &CTarvexDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    qApp->installEventFilter(this);
    resize(760, 520);
    UpdateTitle();
    UpdateCommandUI();
}

CMainFrame::~CMainFrame()
{
    // The views go with the window after this body has run; focus moving
    // between them then must not reach this half-destroyed frame.
    disconnect(&router_, nullptr, this, nullptr);
    disconnect(&doc_, nullptr, this, nullptr);
    disconnect(QApplication::clipboard(), nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    router_.SetFrame(nullptr);
    router_.SetActiveView(nullptr);
}

QAction* CMainFrame::MakeMenuAction(const MenuNode& node)
{
    auto* action = new QAction(Text(node.label), this);
    action->setData(node.id);
    action->setStatusTip(Text(StatusPrompt(node.id)));
    action->setIcon(art::MenuIcon(node.id));
    action->setIconVisibleInMenu(true);
    const int id = node.id;
    connect(action, &QAction::triggered, this, [this, id] { router_.Execute(id); });
    menuActions_[id] = action;
    if (IsViewStyle(id)) {
        action->setCheckable(true);
        viewStyles_->addAction(action);
    } else if (id == cmd::kViewToolbar || id == cmd::kViewStatusBar) {
        action->setCheckable(true);
    }
    return action;
}

void CMainFrame::BuildMenus()
{
    viewStyles_ = new QActionGroup(this);
    viewStyles_->setExclusive(true);
    for (const MenuNode& top : MainMenu()) {
        QMenu* menu = menuBar()->addMenu(Text(top.label));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        FillMenu(*menu, top.children, [this, menu](QMenu& owner, const MenuNode& node) -> QAction* {
            if (node.kind == MenuNode::Kind::RecentFiles) {
                fileMenu_ = menu;
                recentPlaceholder_ = new QAction(Text(node.label), this);
                recentPlaceholder_->setData(node.id);
                recentPlaceholder_->setEnabled(false);
                recentPlaceholder_->setStatusTip(Text(StatusPrompt(node.id)));
                return recentPlaceholder_;
            }
            if (&owner != menu) return nullptr;
            return MakeMenuAction(node);
        });
        ShowPromptsIn(*menu, *this);
    }
}

QMenu* CMainFrame::TopMenu(int index) const
{
    const QList<QAction*> tops = menuBar()->actions();
    return index >= 0 && index < tops.size() ? tops[index]->menu() : nullptr;
}

QAction* CMainFrame::MenuAction(int id) const
{
    const auto it = menuActions_.find(id);
    return it == menuActions_.end() ? nullptr : it->second;
}

QAction* CMainFrame::ToolbarAction(int id) const
{
    const auto it = toolbarActions_.find(id);
    return it == toolbarActions_.end() ? nullptr : it->second;
}

void CMainFrame::BuildToolbar()
{
    toolbar_ = addToolBar(QString());
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setIconSize({16, 15});
    toolbar_->setMovable(true);
    toolbar_->setFloatable(true);
    toolbar_->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : ToolbarCommands()) {
        if (id == 0) {
            toolbar_->addSeparator();
            continue;
        }
        auto* action = new QAction(art::ToolbarIcon(id), Text(Tooltip(id)), this);
        action->setData(id);
        action->setToolTip(Text(Tooltip(id)));
        action->setStatusTip(Text(StatusPrompt(id)));
        if (IsViewStyle(id)) action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, id] { router_.Execute(id); });
        toolbar_->addAction(action);
        toolbarActions_[id] = action;
    }
}

void CMainFrame::BuildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    const auto pane = [this, bar](int stringId) {
        auto* label = new QLabel(Text(StringResource(stringId)), bar);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(label->sizeHint().width() + 8);
        label->setObjectName(QStringLiteral("pane%1").arg(stringId));
        bar->addPermanentWidget(label);
        return label;
    };
    capsPane_ = pane(59137);
    numPane_ = pane(59138);
    scrollPane_ = pane(59139);
    bar->showMessage(Text(StringResource(cmd::kIdsIdle)));
    UpdateLockIndicators();
}

void CMainFrame::UpdateLockIndicators()
{
    const LockStates states = ReadLockStates();
    const auto show = [](QLabel* label, bool on, int stringId) {
        label->setText(on ? Text(StringResource(stringId)) : QString());
    };
    show(capsPane_, states.caps, 59137);
    show(numPane_, states.num, 59138);
    show(scrollPane_, states.scroll, 59139);
}

void CMainFrame::BuildAccelerators()
{
    for (const Accelerator& accelerator : Accelerators()) {
        auto* shortcut = new QShortcut(QKeySequence(Text(accelerator.keys)), this);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = accelerator.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { router_.Execute(id); });
    }
}

void CMainFrame::ClearOwnClipboardData()
{
    // Items of the pack on the clipboard refer into the process that put
    // them there: an earlier run's are never pasted.
    QClipboard* clipboard = QApplication::clipboard();
    const QMimeData* data = clipboard->mimeData();
    if (data && data->hasFormat(QString::fromLatin1(kClipboardFormat))) clipboard->clear();
}

void CMainFrame::SetRecentFiles(const QStringList& paths)
{
    if (!fileMenu_) return;
    for (QAction* action : recentActions_) {
        fileMenu_->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    recentPlaceholder_->setVisible(paths.isEmpty());
    for (int i = 0; i < paths.size() && i < RecentFiles::kSize; ++i) {
        const int id = cmd::kFileMruFirst + i;
        auto* action = new QAction(RecentFileLabel(i, paths[i]), this);
        action->setData(id);
        action->setStatusTip(Text(StatusPrompt(id)));
        connect(action, &QAction::triggered, this, [this, id] { router_.Execute(id); });
        fileMenu_->insertAction(recentPlaceholder_, action);
        recentActions_.push_back(action);
    }
}

void CMainFrame::UpdateCommandUI()
{
    const auto apply = [this](QAction* action) {
        const int id = action->data().toInt();
        if (id == 0) return;
        const CommandState state = router_.State(id);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    };
    for (const auto& [id, action] : menuActions_) apply(action);
    for (const auto& [id, action] : toolbarActions_) apply(action);
    for (QAction* action : recentActions_) apply(action);
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(doc_.GetTitle() + QStringLiteral(" - ") + Text(StringResource(cmd::kIdsAppTitle)));
}

bool CMainFrame::CanHandle(int id) const
{
    // "插件(&P)..." belongs to the file list; the frame takes it too so that
    // it stays enabled (and does nothing) while the tree has the focus.
    return IsViewStyle(id) || id == cmd::kViewToolbar || id == cmd::kViewStatusBar || id == cmd::kNextPane ||
           id == cmd::kPrevPane || id == cmd::kPlugins;
}

CommandState CMainFrame::Update(int id)
{
    if (IsViewStyle(id)) {
        if (!right_) return {false, false};
        return {true, right_->ViewStyle() == StyleOf(id)};
    }
    if (id == cmd::kViewToolbar) return {true, toolbar_->isVisible()};
    if (id == cmd::kViewStatusBar) return {true, statusBar()->isVisible()};
    return {true, false};
}

void CMainFrame::Execute(int id)
{
    if (IsViewStyle(id)) {
        if (right_) right_->SetViewStyle(StyleOf(id));
    } else if (id == cmd::kViewToolbar) {
        toolbar_->setVisible(!toolbar_->isVisible());
    } else if (id == cmd::kViewStatusBar) {
        statusBar()->setVisible(!statusBar()->isVisible());
    } else if (id == cmd::kNextPane || id == cmd::kPrevPane) {
        // With two panes, both go to the other one.
        if (router_.ActiveView() == left_) {
            right_->setFocus();
        } else {
            left_->setFocus();
        }
    }
}

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        // Leaving a menu item brings back the idle text.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        statusBar()->showMessage(tip.isEmpty() ? Text(StringResource(cmd::kIdsIdle)) : tip);
        return true;
    }
    if (event->type() == QEvent::WindowActivate) UpdateLockIndicators();
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock) UpdateLockIndicators();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (doc_.SaveModified()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace tarvex
