#include "ombrix/app/AboutBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace ombrix {

AboutBox::AboutBox(const QString& credits, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutbox"));
    setWindowTitle(tr("About Ombrix Player"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<h2>Ombrix Player</h2>"), this);
    layout->addWidget(title);
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
