#include "ui/CPluginChooserDlg.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <cstring>

#include "base/GbkText.h"
#include "catalogue/Catalogue.h"
#include "schemes/ModuleSpeed.h"
#include "schemes/SizeText.h"
#include "ui/Artwork.h"
#include "ui/CSkinButton.h"
#include "ui/DialogLook.h"
#include "ui/MessageBox.h"

namespace tarvex {
namespace {

constexpr const char* kNoPlugins = "没有发现任何可用的外部编码插件！";
constexpr const char* kClickToTest = "点击开始测试";
constexpr const char* kNoDecoder = "未发现解码模块";
constexpr const char* kTesting = "正在测试...";

// A module's text, read no further than limit bytes past its start (a text
// without its NUL must not lead the reading astray), as UTF-8.
QString ModuleText(const char* text, size_t limit)
{
    if (!text) return {};
    return QString::fromStdString(GbkToUtf8Lossy(std::string(text, strnlen(text, limit))));
}

QLabel* MakeLabel(QWidget* parent, int id, const QString& text, QRect where)
{
    auto* label = new QLabel(text, parent);
    if (id) label->setObjectName(QStringLiteral("ctl%1").arg(id));
    label->setGeometry(where);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

CSkinButton* MakeButton(QWidget* parent, int id, const QString& text, QRect where)
{
    auto* button = new CSkinButton(text, parent);
    button->setObjectName(QStringLiteral("ctl%1").arg(id));
    button->setGeometry(where);
    return button;
}

}  // namespace

CPluginChooserDlg::CPluginChooserDlg(PluginHost plugins, IPrompt& prompt, QWidget* parent)
    : QDialog(parent), plugins_(std::move(plugins)), prompt_(prompt), list_(new QListWidget(this))
{
    setObjectName(QStringLiteral("dlg142"));
    setWindowTitle(QStringLiteral("选择扩展编码插件"));
    setFont(DialogFont());
    ApplyDialogLook(*this);
    setFixedSize(Dlu(199), Dlu(179));

    list_->setObjectName(QStringLiteral("ctl1003"));
    list_->setGeometry(DluRect(5, 7, 100, 127));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    MakeLabel(this, 0, QStringLiteral("模块名："), DluRect(112, 7, 33, 8));
    name_ = MakeLabel(this, 1008, QStringLiteral("Encoding Modal Name"), DluRect(115, 15, 77, 8));
    MakeLabel(this, 0, QStringLiteral("版  本："), DluRect(112, 29, 33, 8));
    versionLabel_ = MakeLabel(this, 1009, QStringLiteral("3.98.70 Alpha测试版"), DluRect(115, 38, 77, 8));
    MakeLabel(this, 0, QStringLiteral("编码速度："), DluRect(112, 51, 41, 8));
    encodeSpeed_ = MakeLabel(this, 1010, QString::fromUtf8(kClickToTest), DluRect(115, 61, 77, 8));
    MakeLabel(this, 0, QStringLiteral("解码速度："), DluRect(112, 73, 41, 8));
    decodeSpeed_ = MakeLabel(this, 1011, QString::fromUtf8(kClickToTest), DluRect(115, 84, 77, 8));
    // The speed fields invite a click.
    for (QLabel* field : {encodeSpeed_, decodeSpeed_}) {
        field->setCursor(Qt::PointingHandCursor);
        field->installEventFilter(this);
    }

    settings_ = MakeButton(this, 1004, QStringLiteral("设置...(&S)"), DluRect(124, 99, 62, 15));
    about_ = MakeButton(this, 1005, QStringLiteral("关于...(&A)"), DluRect(124, 117, 62, 15));
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(DluRect(7, 146, 185, 1).adjusted(0, 0, 0, 1));
    ok_ = MakeButton(this, 1, QStringLiteral("确定"), DluRect(47, 155, 58, 14));
    cancel_ = MakeButton(this, 2, QStringLiteral("取消"), DluRect(114, 155, 63, 14));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(settings_, &QPushButton::clicked, this, &CPluginChooserDlg::ShowSettings);
    connect(about_, &QPushButton::clicked, this, &CPluginChooserDlg::ShowAbout);

    for (ModuleInfo& info : plugins_.Survey()) {
        if (info.verdict != ModuleVerdict::Accepted) continue;
        list_->addItem(QString::fromStdString(info.fileName));
        modules_.push_back(std::move(info));
    }
    connect(list_, &QListWidget::currentRowChanged, this, &CPluginChooserDlg::SelectionChanged);
    if (!modules_.empty()) list_->setCurrentRow(0);

    for (CSkinButton* button : {settings_, about_, ok_, cancel_}) button->SetSkin(art::kButtonSkin, 5, 5, 5, 4, true);
}

// The module is unloaded with the dialog, after its widgets are gone.
CPluginChooserDlg::~CPluginChooserDlg() = default;

int CPluginChooserDlg::DoModal()
{
    if (modules_.empty()) {
        prompt_.Tell(kNoPlugins, MsgIcon::None);
        return QDialog::Rejected;
    }
    return exec();
}

void CPluginChooserDlg::ShowUnloadable(const std::string& why)
{
    name_->setText(QString::fromStdString(why));
    versionLabel_->clear();
    encodeSpeed_->clear();
    decodeSpeed_->clear();
    for (CSkinButton* button : {settings_, about_, ok_}) button->setEnabled(false);
}

void CPluginChooserDlg::SelectionChanged()
{
    const int row = list_->currentRow();
    if (row < 0 || row >= static_cast<int>(modules_.size())) return;
    const ModuleInfo& info = modules_[static_cast<size_t>(row)];

    // One module at a time: the one selected before goes first.
    module_.reset();
    exports_ = {};
    moduleFile_.clear();
    providerName_.clear();
    version_ = 0;

    // The module was looked at when the list was made; it may have changed
    // or gone since.
    std::string error;
    module_ = plugins_.Load(info.moduleFile, error);
    if (module_) {
        const LoadedModule& m = *module_;
        exports_ = {m.Find<edl_getProviderName_fn>("getProviderName"),
                    m.Find<edl_getProviderVersion_fn>("getProviderVersion"),
                    m.Find<edl_getProviderInfo_fn>("getProviderInfo"),
                    m.Find<edl_getMemNeeded_fn>("getMemNeeded"),
                    m.Find<edl_Encode_fn>("Encode"),
                    m.Find<edl_Decode_fn>("Decode"),
                    m.Find<edl_About_fn>("About"),
                    m.Find<edl_Settings_fn>("Settings")};
    }
    const char* name = exports_.getProviderName ? exports_.getProviderName() : nullptr;
    if (!name || !exports_.getProviderVersion || !exports_.getMemNeeded || !exports_.encode) {
        module_.reset();
        exports_ = {};
        ShowUnloadable(VerdictText(ModuleVerdict::NotLoadable));
        return;
    }

    version_ = exports_.getProviderVersion();
    providerName_ = std::string(name, strnlen(name, kMaxNameBytes));
    moduleFile_ = info.moduleFile;
    name_->setText(ModuleText(name, kMaxNameBytes));
    versionLabel_->setText(QString::fromStdString(FormatVersionText(version_)));
    about_->setEnabled(exports_.about || exports_.getProviderInfo);
    settings_->setEnabled(exports_.settings != nullptr);
    ok_->setEnabled(true);
    encodeSpeed_->setText(QString::fromUtf8(kClickToTest));
    decodeSpeed_->setText(QString::fromUtf8(exports_.decode ? kClickToTest : kNoDecoder));
}

void CPluginChooserDlg::ShowAbout()
{
    if (exports_.about) {
        exports_.about();
    } else if (exports_.getProviderInfo) {
        ShowMessage(this, QString::fromStdString(GbkToUtf8Lossy(providerName_)),
                    ModuleText(exports_.getProviderInfo(), 64 * 1024), MsgIcon::None, MsgButtons::Ok);
    }
}

void CPluginChooserDlg::ShowSettings()
{
    if (exports_.settings) exports_.settings();
}

void CPluginChooserDlg::MeasureEncodeSpeed()
{
    if (!module_) return;
    encodeSpeed_->setText(QString::fromUtf8(kTesting));
    encodeSpeed_->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ModuleSpeed speed = tarvex::MeasureEncodeSpeed(*module_);
    QApplication::restoreOverrideCursor();
    encodeSpeed_->setText(QString::fromStdString(SpeedText(speed)));
}

void CPluginChooserDlg::MeasureDecodeSpeed()
{
    if (!module_ || !exports_.decode) return;
    decodeSpeed_->setText(QString::fromUtf8(kTesting));
    decodeSpeed_->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ModuleSpeed speed = tarvex::MeasureDecodeSpeed(*module_);
    QApplication::restoreOverrideCursor();
    decodeSpeed_->setText(QString::fromStdString(SpeedText(speed)));
}

bool CPluginChooserDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == encodeSpeed_) {
            MeasureEncodeSpeed();
            return true;
        }
        if (watched == decodeSpeed_) {
            MeasureDecodeSpeed();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tarvex
