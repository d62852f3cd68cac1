#include "ombrix/windows/config/ConfigWindow.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <QAbstractButton>
#include "ombrix/desktop/AlsaMixer.h"
#include "ombrix/desktop/SoundDevices.h"
#include "ombrix/media/CdDisc.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/skin/PanelError.h"
#include "ombrix/skin/PanelInstaller.h"
#include "ombrix/skin/PanelList.h"
#include "ombrix/windows/common/DialogFilter.h"
#include "ombrix/windows/common/WindowPlacement.h"
#include "ombrix/windows/config/ConsolePreview.h"
#include "ombrix/windows/config/KeyTable.h"

namespace ombrix {
namespace {

using Kind = ConfigControl::Kind;

QColor fromRef(qint64 ref) {
    return QColor(int(ref & 0xff), int((ref >> 8) & 0xff), int((ref >> 16) & 0xff));
}

qint64 toRef(const QColor& c) {
    return qint64(c.red()) | (qint64(c.green()) << 8) | (qint64(c.blue()) << 16);
}

// Panels wider than this are shown scaled down beside the list.
constexpr int kPreviewWidth = 240;

bool offscreen() {
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

}  // namespace

ConfigWindow::ConfigWindow(SettingsStore& store, FileAssociations associations, Hooks hooks,
                           QWidget* parent)
    : QDialog(parent),
      store_(store),
      hooks_(std::move(hooks)),
      model_(store, std::move(associations), hooks_.model) {
    setObjectName(kWindowName);
    setWindowTitle(QStringLiteral("Config"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    store_.markConfigurationOpened();
    background_.load(store_.home().path(QStringLiteral("resource/bg.bmp")));

    auto* root = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    root->addLayout(body, 1);
    auto* left = new QVBoxLayout;
    body->addLayout(left);
    pageList_ = new QListWidget(this);
    pageList_->setObjectName(QStringLiteral("listpages"));
    pageList_->addItems(ConfigControl::pages());
    pageList_->setFixedWidth(140);
    left->addWidget(pageList_, 1);
    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("imglogo"));
    logo->setAlignment(Qt::AlignCenter);
    logo->setWordWrap(true);
    logo->setFixedWidth(140);
    const QPixmap logoImage(store_.home().path(QStringLiteral("resource/logo.bmp")));
    if (logoImage.isNull())
        logo->setText(QStringLiteral("Logo image was not found."));
    else
        logo->setPixmap(logoImage.scaledToWidth(140, Qt::SmoothTransformation));
    left->addWidget(logo);

    pages_ = new QStackedWidget(this);
    body->addWidget(pages_, 1);
    for (const QString& page : ConfigControl::pages()) pages_->addWidget(buildPage(page));
    connect(pageList_, &QListWidget::currentRowChanged, pages_, &QStackedWidget::setCurrentIndex);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* okButton = new QPushButton(QStringLiteral("ok"), this);
    okButton->setObjectName(QStringLiteral("btnok"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(QStringLiteral("cancel"), this);
    cancelButton->setObjectName(QStringLiteral("btncancel"));
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    root->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, this, &ConfigWindow::ok);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    fill();
    skipSafe_->setChecked(ConfigModel::readSkipSafe(store_));
    pageList_->setCurrentRow(0);
    resize(640, 440);
    WindowPlacement::restore(*this, store_, kWindowName, false);
}

ConfigWindow::~ConfigWindow() {
    ConfigModel::writeSkipSafe(store_, skipSafe_->isChecked());
    WindowPlacement::save(*this, store_, kWindowName, false);
}

void ConfigWindow::showPage(int index) {
    pageList_->setCurrentRow(index);
}

QWidget* ConfigWindow::buildPage(const QString& page) {
    if (page == QLatin1String("plugins")) return buildPluginPage();
    if (page == QLatin1String("file type")) return buildFileTypePage();
    if (page == QLatin1String("panel / coolbar")) return buildPanelPage();
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("page ") + page);
    auto* form = new QFormLayout(w);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const ConfigControl& c : ConfigControl::all()) {
        if (c.page != page) continue;
        QWidget* control = controlWidget(c);
        if (c.kind == Kind::Check || c.kind == Kind::InvertedCheck)
            form->addRow(control);
        else
            form->addRow(c.caption, control);
    }
    if (page == QLatin1String("soundcard")) addSoundcardExtras(w);
    if (page == QLatin1String("devices")) {
        skipSafe_ = new QCheckBox(QStringLiteral("skip safe"), w);
        skipSafe_->setObjectName(QStringLiteral("chks3"));
        form->insertRow(6, skipSafe_);
    }
    if (page == QLatin1String("console")) addConsoleExtras(w);
    if (page == QLatin1String("network")) addNetworkExtras(w);
    if (page == QLatin1String("keyboard")) addKeyboardExtras(w);
    if (page == QLatin1String("system")) {
        auto* local = fontButton(QStringLiteral("btnlocalfont"), nullptr);
        local->setText(model_.draft().localfont);
        connect(local, &QPushButton::clicked, this, [this, local] {
            bool ok = false;
            const QFont f = QFontDialog::getFont(&ok, QFont(model_.draft().localfont), this);
            if (!ok) return;
            model_.draft().localfont = f.family();
            local->setText(f.family());
        });
        form->addRow(QStringLiteral("local font"), local);
    }
    if (page == QLatin1String("playlist editor")) {
        QWidget* extra = buildPlaylistPage();
        form->insertRow(0, extra);
    }
    return w;
}

QWidget* ConfigWindow::controlWidget(const ConfigControl& c) {
    QWidget* widget = nullptr;
    switch (c.kind) {
        case Kind::Check:
        case Kind::InvertedCheck: {
            auto* box = new QCheckBox(c.caption);
            connect(box, &QCheckBox::toggled, this, [this, &c](bool on) {
                if (!filling_) model_.setValue(c, c.kind == Kind::InvertedCheck ? !on : on);
            });
            widget = box;
            break;
        }
        case Kind::Spin: {
            auto* spin = new QSpinBox;
            spin->setRange(c.min, c.max);
            connect(spin, &QSpinBox::valueChanged, this, [this, &c](int v) {
                if (filling_) return;
                model_.setValue(c, v);
                if (c.page == QLatin1String("console")) refreshPreview();
            });
            widget = spin;
            break;
        }
        case Kind::Combo:
        case Kind::ComboValue:
        case Kind::Key: {
            auto* box = new QComboBox;
            fillComboItems(box, c);
            connect(box, &QComboBox::currentIndexChanged, this, [this, box, &c](int) {
                if (filling_ || box->currentIndex() < 0) return;
                model_.setValue(c, box->currentData().toInt());
                if (c.page == QLatin1String("console")) refreshPreview();
                if (c.object == QLatin1String("combomixer")) {
                    auto* lines =
                        qobject_cast<QComboBox*>(controls_.value(QStringLiteral("combomix1")));
                    if (lines) {
                        const QSignalBlocker quiet(lines);
                        lines->clear();
                        fillComboItems(lines, *ConfigControl::find(QStringLiteral("combomix1")));
                        lines->setCurrentIndex(0);
                        model_.setValue(*ConfigControl::find(QStringLiteral("combomix1")), 0);
                    }
                }
            });
            widget = box;
            break;
        }
        case Kind::Line: {
            auto* edit = new QLineEdit;
            if (c.object == QLatin1String("edittelnetpassword"))
                edit->setEchoMode(QLineEdit::Password);
            connect(edit, &QLineEdit::textEdited, this, [this, &c](const QString& t) {
                model_.setText(c, t);
                if (c.object == QLatin1String("edittelnetbind")) refreshTelnetWarning();
            });
            widget = edit;
            break;
        }
    }
    widget->setObjectName(c.object);
    widget->setToolTip(c.tip);
    if (!qobject_cast<QComboBox*>(widget)) widget->setEnabled(c.enabled);
    controls_.insert(c.object, widget);
    return widget;
}

void ConfigWindow::fillComboItems(QComboBox* box, const ConfigControl& c) {
    QStringList items = c.items;
    if (c.object == QLatin1String("combowaveout"))
        items = QStringList{QStringLiteral("assign free device")} + SoundDevices::playbackDevices();
    else if (c.object == QLatin1String("combomixer"))
        items = AlsaMixer::deviceNames();
    else if (c.object == QLatin1String("combomix1"))
        items = AlsaMixer::lineNames(model_.draft().mixerid);
    else if (c.object == QLatin1String("Combocd"))
        items = listCdDrives();
    if (items.isEmpty() && c.items.isEmpty()) {
        // Nothing found on this machine: the stored value is kept and nothing can be chosen.
        box->addItem(QStringLiteral("(none found)"), model_.value(c));
        box->setEnabled(false);
        return;
    }
    box->setEnabled(c.enabled);
    for (int i = 0; i < items.size(); ++i) {
        int value = i + c.offset;
        if (c.kind == Kind::ComboValue) value = items[i].toInt();
        if (c.kind == Kind::Key) value = KeyTable::code(i);
        box->addItem(items[i], value);
    }
}

void ConfigWindow::fill() {
    filling_ = true;
    for (const ConfigControl& c : ConfigControl::all()) {
        QWidget* w = controls_.value(c.object);
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
            const bool on = model_.value(c) != 0;
            box->setChecked(c.kind == Kind::InvertedCheck ? !on : on);
        } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
            spin->setValue(model_.value(c));
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            const int v = model_.value(c);
            int i = combo->findData(v);
            if (i < 0 && c.enabled) {
                // A stored value the list does not offer is shown and kept as it is.
                combo->addItem(
                    c.kind == Kind::Key ? KeyTable::label(v) : QStringLiteral("(value %1)").arg(v),
                    v);
                i = combo->count() - 1;
            }
            combo->setCurrentIndex(std::max(i, 0));
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->setText(model_.text(c));
        }
    }
    filling_ = false;
    refreshPreview();
    refreshTelnetWarning();
}

void ConfigWindow::addSoundcardExtras(QWidget* page) {
    auto* form = static_cast<QFormLayout*>(page->layout());
    auto* note = new QLabel(
        QStringLiteral("Without \"enable mixer\" the volume is the player's own stream volume."),
        page);
    note->setWordWrap(true);
    form->addRow(note);
}

QPushButton* ConfigWindow::fontButton(const QString& object, FontSetting* font) {
    auto* button = new QPushButton;
    button->setObjectName(object);
    if (!font) return button;
    showFont(button, *font);
    connect(button, &QPushButton::clicked, this, [this, button, font] {
        QFont current(font->name);
        current.setPointSize(std::clamp(font->size, 4, 72));
        current.setBold(font->style & 1);
        current.setItalic(font->style & 2);
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, current, this);
        if (!ok) return;
        font->name = f.family();
        font->size = f.pointSize() > 0 ? f.pointSize() : font->size;
        font->style = (f.bold() ? 1 : 0) | (f.italic() ? 2 : 0);
        showFont(button, *font);
        refreshPreview();
    });
    return button;
}

void ConfigWindow::showFont(QPushButton* button, const FontSetting& font) {
    if (font.name.isEmpty()) {
        button->setText(QStringLiteral("(default)"));
        return;
    }
    // Where the family is missing, fontconfig draws a substitute: say which.
    const QString drawn = QFontInfo(QFont(font.name)).family();
    const bool same = drawn.compare(font.name, Qt::CaseInsensitive) == 0;
    button->setText(QStringLiteral("%1, %2 pt").arg(font.name).arg(font.size));
    button->setToolTip(same ? QString() : QStringLiteral("drawn as %1").arg(drawn));
}

void ConfigWindow::addConsoleExtras(QWidget* page) {
    auto* form = static_cast<QFormLayout*>(page->layout());
    form->addRow(QStringLiteral("screen font"),
                 fontButton(QStringLiteral("btnscreenfont"), &model_.draft().screenfont));
    form->addRow(QStringLiteral("coolbar font"),
                 fontButton(QStringLiteral("btnlcdtitlefont"), &model_.draft().lcdtitlefont));
    form->addRow(QStringLiteral("volume LCD font"),
                 fontButton(QStringLiteral("btnlcdvolumefont"), &model_.draft().lcdvolumefont));
    preview_ = new QLabel(page);
    preview_->setObjectName(QStringLiteral("imgconsole"));
    preview_->setFixedSize(ConsolePreview::kWidth, ConsolePreview::kHeight);
    form->addRow(QStringLiteral("preview"), preview_);
}

void ConfigWindow::refreshPreview() {
    if (preview_)
        preview_->setPixmap(
            QPixmap::fromImage(ConsolePreview::render(background_, model_.draft())));
}

void ConfigWindow::addNetworkExtras(QWidget* page) {
    auto* form = static_cast<QFormLayout*>(page->layout());
    telnetWarning_ = new QLabel(page);
    telnetWarning_->setObjectName(QStringLiteral("lbltelnetwarning"));
    telnetWarning_->setWordWrap(true);
    telnetWarning_->setStyleSheet(QStringLiteral("color: #c03020;"));
    form->addRow(telnetWarning_);
    auto* browse = new QPushButton(QStringLiteral("..."), page);
    browse->setObjectName(QStringLiteral("btntelnet"));
    browse->setToolTip(QStringLiteral("Choose the local file"));
    browse->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(
            this, QStringLiteral("path to local file"), model_.draft().telnetpath);
        if (file.isEmpty()) return;
        model_.draft().telnetpath = file;
        if (auto* e = qobject_cast<QLineEdit*>(controls_.value(QStringLiteral("edittelnetpath"))))
            e->setText(file);
    });
    form->addRow(QString(), browse);
}

void ConfigWindow::refreshTelnetWarning() {
    if (!telnetWarning_) return;
    const QString bind = model_.draft().telnetbind.trimmed();
    const QHostAddress address(bind);
    const bool exposed = !bind.isEmpty() && !address.isNull() && !address.isLoopback();
    telnetWarning_->setText(
        exposed ? QStringLiteral("Other machines can reach the telnet server on this address%1.")
                      .arg(model_.draft().telnetpassword.isEmpty()
                               ? QStringLiteral(", without a password")
                               : QString())
                : QString());
    telnetWarning_->setVisible(exposed);
}

void ConfigWindow::addKeyboardExtras(QWidget* page) {
    const QString reason = hooks_.hotKeysUnavailable ? hooks_.hotKeysUnavailable() : QString();
    if (reason.isEmpty()) return;
    auto* form = static_cast<QFormLayout*>(page->layout());
    auto* note = new QLabel(QStringLiteral("Hot keys: ") + reason, page);
    note->setObjectName(QStringLiteral("lblhotkeys"));
    note->setWordWrap(true);
    form->insertRow(0, note);
}

QWidget* ConfigWindow::buildPluginPage() {
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("page plugins"));
    auto* layout = new QVBoxLayout(w);
    auto* combo = new QComboBox(w);
    combo->setObjectName(QStringLiteral("comboplugin"));
    auto* properties = new QPushButton(QStringLiteral("property"), w);
    properties->setObjectName(QStringLiteral("btnpluginproperty"));
    auto* memo = new QPlainTextEdit(w);
    memo->setObjectName(QStringLiteral("memoplugin"));
    memo->setReadOnly(true);
    auto* row = new QHBoxLayout;
    row->addWidget(combo, 1);
    row->addWidget(properties);
    layout->addLayout(row);
    layout->addWidget(memo, 1);
    const PluginHooks& h = hooks_.plugins;
    if (!h.entries) {
        w->setEnabled(false);
        memo->setPlainText(QStringLiteral("No plug-in host is available."));
        return w;
    }
    combo->addItems(h.entries());
    auto describe = [this, combo, memo] {
        const PluginHooks& hk = hooks_.plugins;
        memo->setPlainText(hk.description ? hk.description(combo->currentText()) : QString());
    };
    connect(combo, &QComboBox::currentIndexChanged, this, describe);
    connect(properties, &QPushButton::clicked, this, [this, combo] {
        if (hooks_.plugins.properties) hooks_.plugins.properties(combo->currentText(), this);
    });
    properties->setEnabled(static_cast<bool>(h.properties));
    describe();
    return w;
}

QWidget* ConfigWindow::buildFileTypePage() {
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("page file type"));
    auto* layout = new QHBoxLayout(w);
    typeList_ = new QListWidget(w);
    typeList_->setObjectName(QStringLiteral("listboxexp"));
    typeList_->addItems(model_.types().names);
    typeList_->setFixedWidth(150);
    layout->addWidget(typeList_);
    auto* form = new QFormLayout;
    layout->addLayout(form, 1);
    auto* description = new QLineEdit(w);
    description->setObjectName(QStringLiteral("editexp1"));
    auto* filter = new QLineEdit(w);
    filter->setObjectName(QStringLiteral("editexp2"));
    form->addRow(QStringLiteral("description"), description);
    form->addRow(QStringLiteral("filter"), filter);
    const std::pair<const char*, const char*> boxes[] = {{"chkexp1", "open (double click)"},
                                                         {"chkexp2", "add to playlist"},
                                                         {"chkexp3", "play"},
                                                         {"chkexp4", "edit tag"}};
    for (int bit = 0; bit < 4; ++bit) {
        auto* box = new QCheckBox(QString::fromLatin1(boxes[bit].second), w);
        box->setObjectName(QString::fromLatin1(boxes[bit].first));
        controls_.insert(box->objectName(), box);
        form->addRow(box);
        connect(box, &QCheckBox::toggled, this, [this, bit](bool on) {
            if (!filling_) model_.setFlag(type_, 1 << bit, on);
        });
    }
    typeIcon_ = new QLabel(w);
    typeIcon_->setObjectName(QStringLiteral("imgicon"));
    typeIcon_->setMinimumSize(32, 32);
    auto* open = new QPushButton(QStringLiteral("open"), w);
    open->setObjectName(QStringLiteral("btnOpen"));
    auto* clear = new QPushButton(QStringLiteral("clear"), w);
    clear->setObjectName(QStringLiteral("btnClear"));
    open->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    clear->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    typeIcon_->setWordWrap(true);
    auto* iconRow = new QHBoxLayout;
    iconRow->addWidget(typeIcon_, 1);
    iconRow->addWidget(open);
    iconRow->addWidget(clear);
    form->addRow(QStringLiteral("icon"), iconRow);
    auto* note = new QLabel(QStringLiteral("On \"ok\" the checked types are registered with the "
                                           "desktop (mimeapps.list and the player's desktop "
                                           "entry)."),
                            w);
    note->setWordWrap(true);
    form->addRow(note);
    controls_.insert(description->objectName(), description);
    controls_.insert(filter->objectName(), filter);

    connect(typeList_, &QListWidget::currentRowChanged, this, &ConfigWindow::showType);
    connect(description, &QLineEdit::editingFinished, this, [this, description] {
        MediaTypes& t = model_.types();
        const QString name = description->text().trimmed();
        if (type_ < 0 || type_ >= t.names.size() || name.isEmpty() || t.names.contains(name)) {
            if (type_ >= 0 && type_ < t.names.size()) description->setText(t.names[type_]);
            return;
        }
        t.names[type_] = name;
        typeList_->item(type_)->setText(name);
    });
    connect(filter, &QLineEdit::editingFinished, this, [this, filter] {
        MediaTypes& t = model_.types();
        if (type_ >= 0 && type_ < t.extensions.size())
            t.extensions[type_] = filter->text().trimmed();
    });
    connect(open, &QPushButton::clicked, this, [this] {
        const QString file =
            QFileDialog::getOpenFileName(this, QStringLiteral("icon"), QString(),
                                         dialogFilter(QStringLiteral("icon(*.ico)|*.ico")));
        if (file.isEmpty() || type_ < 0 || type_ >= model_.types().icons.size()) return;
        model_.types().icons[type_] = file;
        showType(type_);
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        if (type_ < 0 || type_ >= model_.types().icons.size()) return;
        model_.types().icons[type_] = QStringLiteral("none");
        showType(type_);
    });
    if (!model_.types().consistent()) {
        w->setEnabled(false);
        note->setText(MediaTypes::kCorruptMessage);
    } else if (typeList_->count() > 0) {
        typeList_->setCurrentRow(0);
    }
    return w;
}

void ConfigWindow::showType(int index) {
    const MediaTypes& t = model_.types();
    if (index < 0 || index >= t.names.size() || !t.consistent()) return;
    type_ = index;
    filling_ = true;
    qobject_cast<QLineEdit*>(controls_.value(QStringLiteral("editexp1")))->setText(t.names[index]);
    qobject_cast<QLineEdit*>(controls_.value(QStringLiteral("editexp2")))
        ->setText(t.extensions[index]);
    const int flags = model_.flags(index);
    for (int bit = 0; bit < 4; ++bit)
        qobject_cast<QCheckBox*>(controls_.value(QStringLiteral("chkexp%1").arg(bit + 1)))
            ->setChecked(flags & (1 << bit));
    filling_ = false;
    QString icon = t.icons[index];
    if (icon.startsWith(QLatin1Char('/')) && !QFileInfo::exists(icon))
        icon = store_.home().path(icon.mid(1));  // "\" once meant the program folder
    const QPixmap pm(icon);
    if (t.icons[index].isEmpty() || t.icons[index] == QLatin1String("none"))
        typeIcon_->setText(QStringLiteral("(program icon)"));
    else if (pm.isNull())
        typeIcon_->setText(QStringLiteral("icon not found: ") +
                           QFileInfo(t.icons[index]).fileName());
    else
        typeIcon_->setPixmap(pm.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

QWidget* ConfigWindow::buildPanelPage() {
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("page panel / coolbar"));
    auto* layout = new QHBoxLayout(w);
    auto* leftColumn = new QVBoxLayout;
    layout->addLayout(leftColumn);
    panelList_ = new QListWidget(w);
    panelList_->setObjectName(QStringLiteral("listBoxpanel"));
    panelList_->setFixedWidth(190);
    leftColumn->addWidget(panelList_, 1);
    auto* add = new QPushButton(QStringLiteral("install..."), w);
    add->setObjectName(QStringLiteral("btnaddpanels"));
    auto* edit = new QPushButton(QStringLiteral("edit btn file"), w);
    edit->setObjectName(QStringLiteral("btneditbtn"));
    leftColumn->addWidget(add);
    leftColumn->addWidget(edit);
    auto* rightColumn = new QVBoxLayout;
    layout->addLayout(rightColumn, 1);
    panelPreview_ = new QLabel(w);
    panelPreview_->setObjectName(QStringLiteral("imgpanelpreview"));
    panelPreview_->setAlignment(Qt::AlignCenter);
    panelPreview_->setMinimumSize(kPreviewWidth, 150);
    rightColumn->addWidget(panelPreview_, 1);
    auto* group = new QGroupBox(QStringLiteral("type"), w);
    group->setObjectName(QStringLiteral("grouppaneltype"));
    auto* groupLayout = new QHBoxLayout(group);
    auto* typeLabel = new QLabel(group);
    typeLabel->setObjectName(QStringLiteral("lblpaneltype"));
    groupLayout->addWidget(typeLabel);
    rightColumn->addWidget(group);

    // An item is "folder/name"; the folder is the panel or the coolbar folder.
    auto base = [this](const QString& item) {
        return store_.home().path(item) + QStringLiteral(".bmp");
    };
    connect(panelList_, &QListWidget::currentTextChanged, this,
            [this, base, typeLabel](const QString& item) {
                if (item.isEmpty()) return;
                const QString image = base(item);
                const QPixmap pm(image);
                if (pm.isNull())
                    panelPreview_->setText(QStringLiteral("no preview"));
                else
                    panelPreview_->setPixmap(
                        pm.width() > kPreviewWidth
                            ? pm.scaledToWidth(kPreviewWidth, Qt::SmoothTransformation)
                            : pm);
                QString alt = image;
                alt.chop(4);
                typeLabel->setText(QFileInfo::exists(alt + QStringLiteral(".alt.bmp"))
                                       ? QStringLiteral("active")
                                       : QStringLiteral("normal"));
            });
    connect(add, &QPushButton::clicked, this, [this] {
        const QString zip = QFileDialog::getOpenFileName(
            this, QStringLiteral("install panel"), QString(),
            dialogFilter(QStringLiteral("panel archive(*.zip)|*.zip")));
        if (zip.isEmpty()) return;
        const QStringList choices = {QStringLiteral("install as a panel"),
                                     QStringLiteral("install as a coolbar")};
        QMessageBox ask(QMessageBox::Question, QStringLiteral("install panel"),
                        QStringLiteral("install panel"), QMessageBox::Cancel, this);
        QAbstractButton* asPanel = ask.addButton(choices[0], QMessageBox::AcceptRole);
        QAbstractButton* asCoolbar = ask.addButton(choices[1], QMessageBox::AcceptRole);
        ask.setDefaultButton(static_cast<QPushButton*>(asPanel));
        ask.exec();
        if (ask.clickedButton() != asPanel && ask.clickedButton() != asCoolbar) return;
        const bool coolbar = ask.clickedButton() == asCoolbar;
        if (hooks_.installPanel) {
            hooks_.installPanel(zip, coolbar);
        } else {
            const PlayerSettings& d = model_.draft();
            try {
                PanelInstaller::install(
                    zip, store_.home().path(coolbar ? d.coolbardirname : d.paneldirname));
            } catch (const PanelError& e) {
                QMessageBox::information(this, QStringLiteral("Ombrix Player"),
                                         QString::fromUtf8(e.what()));
            }
        }
        showPanels();
    });
    connect(edit, &QPushButton::clicked, this, [this] {
        if (!panelList_->currentItem()) return;
        const QString btn =
            store_.home().path(panelList_->currentItem()->text()) + QStringLiteral(".btn");
        if (QFileInfo::exists(btn)) QDesktopServices::openUrl(QUrl::fromLocalFile(btn));
    });
    showPanels();
    return w;
}

void ConfigWindow::showPanels() {
    const PlayerSettings& d = model_.draft();
    panelList_->clear();
    for (const QString& name : PanelList::names(store_.home().path(d.paneldirname)))
        panelList_->addItem(d.paneldirname + QLatin1Char('/') + name);
    for (const QString& name : PanelList::names(store_.home().path(d.coolbardirname)))
        panelList_->addItem(d.coolbardirname + QLatin1Char('/') + name);
    const auto found =
        panelList_->findItems((d.coolbar ? d.coolbardirname + QLatin1Char('/') + d.coolbarname
                                         : d.paneldirname + QLatin1Char('/') + d.panelname),
                              Qt::MatchFixedString);
    if (!found.isEmpty())
        panelList_->setCurrentItem(found.first());
    else if (panelList_->count() > 0)
        panelList_->setCurrentRow(0);
}

QWidget* ConfigWindow::buildPlaylistPage() {
    auto* box = new QWidget;
    auto* form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    auto* colour = new QPushButton(box);
    colour->setObjectName(QStringLiteral("colorbg"));
    auto paint = [this, colour] {
        QPixmap swatch(40, 14);
        swatch.fill(fromRef(model_.playlistColor));
        colour->setIcon(QIcon(swatch));
        colour->setIconSize(swatch.size());
        colour->setText(fromRef(model_.playlistColor).name());
    };
    paint();
    connect(colour, &QPushButton::clicked, this, [this, paint] {
        const QColor c = QColorDialog::getColor(fromRef(model_.playlistColor), this);
        if (!c.isValid()) return;
        model_.playlistColor = toRef(c);
        paint();
    });
    form->addRow(QStringLiteral("background colour"), colour);
    form->addRow(QStringLiteral("font"),
                 fontButton(QStringLiteral("btnplaylistfont"), &model_.playlistFont));
    return box;
}

void ConfigWindow::ok() {
    // Edits still being typed count.
    for (const QString& name : {QStringLiteral("editexp1"), QStringLiteral("editexp2")})
        if (auto* e = qobject_cast<QLineEdit*>(controls_.value(name))) emit e->editingFinished();
    problems_ = model_.apply();
    if (!problems_.isEmpty()) {
        const QString text = problems_.join(QLatin1Char('\n'));
        if (offscreen())
            qWarning("%s", qPrintable(text));
        else {
            // Shown without a nested event loop; it outlives this window, which closes now.
            auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Ombrix Player"),
                                        text, QMessageBox::Ok, parentWidget());
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setWindowModality(Qt::NonModal);
            box->show();
        }
    }
    accept();
}

}  // namespace ombrix
