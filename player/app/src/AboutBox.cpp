#include "ombrix/app/AboutBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "ombrix/app/ProgramInfo.h"

namespace ombrix {
namespace {

QLabel* line(const QString& objectName, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    return label;
}

}  // namespace

AboutBox::AboutBox(const QString& credits, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutbox"));
    setWindowTitle(tr("About Ombrix Player"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(line(QStringLiteral("name"),
                           QStringLiteral("<h2>%1</h2>").arg(QLatin1String(program::kName)), this));
    layout->addWidget(line(QStringLiteral("version"),
                           tr("Version %1").arg(QLatin1String(program::kVersion)), this));
    layout->addWidget(line(QStringLiteral("licence"),
                           tr("Licence: %1").arg(QLatin1String(program::kLicense)), this));
    const QString home = QLatin1String(program::kHomePage);
    auto* homePage = line(QStringLiteral("homepage"),
                          QStringLiteral("<a href=\"%1\">%1</a>").arg(home.toHtmlEscaped()), this);
    homePage->setOpenExternalLinks(true);
    layout->addWidget(homePage);
    auto* text = new QPlainTextEdit(credits, this);
    text->setObjectName(QStringLiteral("credits"));
    text->setReadOnly(true);
    text->setMinimumSize(360, 200);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace ombrix
