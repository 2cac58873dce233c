#include "ui/AboutBox.h"

#include "app/Shell.h"
#include "harvest/Version.h"
#include "sites/Endpoints.h"
#include "ui/Images.h"
#include "ui/PageLayout.h"

namespace trawl::ui {

namespace {

QString Link(const QString& target, const QString& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(target, text.toHtmlEscaped());
}

void MakeLink(QLabel& label)
{
    label.setTextFormat(Qt::RichText);
    label.setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label.setOpenExternalLinks(false);
    label.setCursor(Qt::PointingHandCursor);
}

} // namespace

AboutBox::AboutBox(Shell& shell, QWidget* owner)
    : QDialog(owner), picture(this), body(this), mail(this), web(this), visit(QStringLiteral("Visit Website"), this),
      cool(QStringLiteral("That's Cool"), this), m_shell(shell), m_units(font())
{
    setWindowTitle(QStringLiteral("About Trawlkit"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    picture.setPixmap(ProgramIcon().pixmap(48, 48));
    body.setWordWrap(true);
    body.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    body.setText(QStringLiteral("Trawlkit %1\n\nHarvests classified ads from Craigslist and Kijiji into one list of "
                                "results to sort, filter, save, and write out as CSV or as a web page.")
                     .arg(QString::fromLatin1(VersionText(kProgramVersion).c_str())));
    const QString host = QString::fromLatin1(endpoints::kMakerHost.data(), endpoints::kMakerHost.size());
    const QString address = QString::fromLatin1(kMailAddress);
    mail.setText(Link(QStringLiteral("mailto:") + address, address));
    web.setText(Link(QStringLiteral("http://") + host, host));
    MakeLink(mail);
    MakeLink(web);
    const auto open = [this](const QString& target) { m_shell.Open(target.toStdString()); };
    connect(&mail, &QLabel::linkActivated, this, open);
    connect(&web, &QLabel::linkActivated, this, open);
    connect(&visit, &QPushButton::clicked, this,
            [this, host] { m_shell.Open("http://" + host.toStdString() + std::string(endpoints::kUpdatePath)); });
    connect(&cool, &QPushButton::clicked, this, &QDialog::close);

    const DialogUnits& units = m_units;
    picture.setGeometry(units.x(10), units.y(10), 48, 48);
    Place(body, units, 50, 10, 172, 75);
    Place(mail, units, 50, 95, 172, 12);
    Place(web, units, 50, 110, 172, 12);
    Place(visit, units, 50, 137, 80, 15);
    Place(cool, units, 142, 137, 80, 15);
    setFixedSize(units.size(232, 162));
    cool.setDefault(true);
}

} // namespace trawl::ui
