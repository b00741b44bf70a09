#include "ui/Unit3.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "ui/product_links.h"
#include "ui/program_icons.h"

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("About Kestrune"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(320, 192);
    setModal(true);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(32, 24, 41, 41);
    image->setPixmap(kestrune::ui::programIcon().pixmap(41, 41));

    auto* name = new QLabel(this);
    name->setObjectName(QStringLiteral("Label1"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->move(96, 24);

    auto* address = new QLabel(kestrune::ui::webAddress(), this);
    address->setObjectName(QStringLiteral("Label2"));
    address->move(96, 40);
    address->adjustSize();

    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("Button1"));
    close->setGeometry(128, 160, 75, 25);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm3::showEvent(QShowEvent* event) {
    auto* name = findChild<QLabel*>(QStringLiteral("Label1"));
    name->setText(QStringLiteral("Kestrune " KESTRUNE_VERSION));
    name->adjustSize();
    if (!centred_) {
        centred_ = true;
        const QScreen* screen = this->screen();
        if (screen != nullptr) {
            QRect placed = frameGeometry();
            placed.moveCenter(screen->availableGeometry().center());
            move(placed.topLeft());
        }
    }
    QDialog::showEvent(event);
}
