#include "ombrix/windows/cdtitle/DiscTitleWindow.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ombrix/library/CddbClient.h"
#include "ombrix/library/DiscDatabase.h"
#include "ombrix/library/DiscFetch.h"
#include "ombrix/library/DiscRecord.h"
#include "ombrix/settings/SettingsStore.h"
#include "ombrix/windows/common/WindowPlacement.h"

namespace ombrix {

DiscTitleWindow::DiscTitleWindow(DiscRecord& record, const DiscDatabase& database,
                                 SettingsStore& store, QWidget* parent)
    : QDialog(parent), record_(record), database_(database), store_(store), editor_(record) {
    setObjectName(QStringLiteral("feditcd"));
    setWindowTitle(kCaption);
    tell_ = [this](const QString& m) { QMessageBox::information(this, kCaption, m); };
    build();
    WindowPlacement::restore(*this, store_, kPlacementName, false);
}

DiscTitleWindow::~DiscTitleWindow() {
    if (fetch_) fetch_->cancel();
    WindowPlacement::save(*this, store_, kPlacementName, false);
}

DiscTitleWindow& DiscTitleWindow::open(std::unique_ptr<DiscTitleWindow>& slot, DiscRecord& record,
                                       const DiscDatabase& database, SettingsStore& store,
                                       QWidget* parent) {
    if (!slot) slot = std::make_unique<DiscTitleWindow>(record, database, store, parent);
    if (slot->isVisible()) slot->showRecord();
    slot->show();
    slot->raise();
    slot->activateWindow();
    return *slot;
}

void DiscTitleWindow::editModally(DiscRecord& record, const DiscDatabase& database,
                                  SettingsStore& store, QWidget* parent) {
    DiscTitleWindow w(record, database, store, parent);
    w.setConnectVisible(false);
    w.setCategoriesEnabled(!store.settings().cddbjapanese);
    w.exec();
}

void DiscTitleWindow::build() {
    auto* menus = new QMenuBar(this);
    QMenu* file = menus->addMenu(QStringLiteral("&File"));
    connect_ = file->addAction(QStringLiteral("Connect to CDDB server"));
    connect(connect_, &QAction::triggered, this, &DiscTitleWindow::connectToServer);

    id_ = new QLabel(this);
    musicBrainz_ = new QLabel(this);
    musicBrainz_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    discTitle_ = new QLineEdit(this);
    discTitle_->setObjectName(QStringLiteral("disctitle"));
    category_ = new QComboBox(this);
    category_->setObjectName(QStringLiteral("category"));
    category_->addItems(DiscRecord::categories());
    tracks_ = new QListWidget(this);
    tracks_->setObjectName(QStringLiteral("tracklist"));
    title_ = new QLineEdit(this);
    title_->setObjectName(QStringLiteral("title"));
    info_ = new QLineEdit(this);
    info_->setObjectName(QStringLiteral("trackinfo"));
    order_ = new QSpinBox(this);
    order_->setObjectName(QStringLiteral("playorder"));
    save_ = new QPushButton(QStringLiteral("save"), this);
    save_->setObjectName(QStringLiteral("save"));
    close_ = new QPushButton(QStringLiteral("close"), this);
    close_->setObjectName(QStringLiteral("close"));

    auto* disc = new QFormLayout;
    disc->addRow(id_);
    disc->addRow(musicBrainz_);
    disc->addRow(QStringLiteral("Title"), discTitle_);
    disc->addRow(QStringLiteral("Category"), category_);
    auto* track = new QFormLayout;
    track->addRow(QStringLiteral("Title"), title_);
    track->addRow(QStringLiteral("Track Info"), info_);
    track->addRow(QStringLiteral("Play order"), order_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    layout->addLayout(disc);
    layout->addWidget(tracks_, 1);
    layout->addLayout(track);
    layout->addLayout(buttons);

    for (QLineEdit* e : {title_, info_}) e->installEventFilter(this);
    connect(title_, &QLineEdit::textEdited, this, [this](const QString& t) {
        editor_.storeTitle(t);
        edited();
    });
    connect(info_, &QLineEdit::textEdited, this, [this](const QString& t) {
        editor_.storeExtended(t);
        edited();
    });
    connect(discTitle_, &QLineEdit::textEdited, this, [this](const QString& t) {
        editor_.storeDiscTitle(t);
        edited();
    });
    connect(category_, &QComboBox::activated, this, [this] {
        editor_.storeCategory(category_->currentText());
        edited();
    });
    connect(order_, &QSpinBox::editingFinished, this, [this] {
        if (filling_ || order_->value() == editor_.playOrder()) return;
        editor_.storePlayOrder(order_->value());
        edited();
    });
    connect(tracks_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_ || row < 0) return;
        editor_.select(row);
        showTrack();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        if (editor_.save(database_)) accept();
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

void DiscTitleWindow::showEvent(QShowEvent* event) {
    showRecord();
    QDialog::showEvent(event);
}

void DiscTitleWindow::showRecord() {
    filling_ = true;
    editor_.reset();
    id_->setText(editor_.idLabel());
    musicBrainz_->setText(editor_.musicBrainzLabel());
    discTitle_->setText(record_.discTitle());
    category_->setCurrentIndex(editor_.categoryIndex());
    tracks_->clear();
    tracks_->addItems(editor_.trackLines());
    order_->setRange(record_.trackCount() > 0 ? 1 : 0, editor_.maxPlayOrder());
    filling_ = false;
    showTrack();
    save_->setEnabled(false);
}

void DiscTitleWindow::showTrack() {
    filling_ = true;
    tracks_->setCurrentRow(record_.trackCount() > 0 ? editor_.selected() : -1);
    title_->setText(editor_.title());
    info_->setText(editor_.extended());
    order_->setValue(editor_.playOrder());
    category_->setCurrentIndex(editor_.categoryIndex());
    filling_ = false;
}

void DiscTitleWindow::edited() {
    if (filling_) return;
    editor_.markModified();
    category_->setCurrentIndex(editor_.categoryIndex());
    save_->setEnabled(true);
}

bool DiscTitleWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == title_ || watched == info_)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            editor_.move(key == Qt::Key_Up ? -1 : 1, title_->text(), info_->text());
            showTrack();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DiscTitleWindow::setConnectVisible(bool visible) {
    connect_->setVisible(visible);
}

void DiscTitleWindow::setCategoriesEnabled(bool enabled) {
    category_->setEnabled(enabled);
}

bool DiscTitleWindow::connecting() const {
    return fetch_ && fetch_->running();
}

void DiscTitleWindow::connectToServer() {
    if (connecting()) return;
    const PlayerSettings& s = store_.settings();
    DiscFetch::Server server;
    server.host = s.cddbserver.trimmed();
    server.port = port_;
    server.proxy = CddbClient::proxyFor(s.proxy, s.proxyport);
    server.japanese = s.cddbjapanese;
    fetch_ = std::make_unique<DiscFetch>(record_, server);
    connect(fetch_.get(), &DiscFetch::status, this, &QWidget::setWindowTitle);
    connect(fetch_.get(), &DiscFetch::finished, this,
            [this](DiscFetch::Outcome o) { fetched(int(o)); });
    connect_->setEnabled(false);
    caption_ = windowTitle();
    fetch_->start();
}

void DiscTitleWindow::fetched(int outcome) {
    const auto o = DiscFetch::Outcome(outcome);
    setWindowTitle(caption_);
    connect_->setEnabled(true);
    if (o == DiscFetch::Outcome::Read) {
        showRecord();
        editor_.markModified();
        save_->setEnabled(true);
        return;
    }
    const QString text = fetch_->messageFor(o);
    if (!text.isEmpty() && tell_) tell_(text);
}

}  // namespace ombrix
