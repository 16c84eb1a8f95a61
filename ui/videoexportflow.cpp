#include "ui/videoexportflow.h"

#include "platform/seams.h"
#include "scene/videoencoder.h"
#include "scene/videoplan.h"
#include "ui/gpxexportflow.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>

namespace
{
constexpr int statusMessageMs = 8000;
constexpr int speeds[] = {10, 30, 60, 120, 300, 600, 1800, 3600};
constexpr int defaultSpeed = 60;

VideoExportFlow::DialogRunner &dialogRunner()
{
    static VideoExportFlow::DialogRunner runner;
    return runner;
}
} // namespace

VideoExportDialog::VideoExportDialog(qint64 from, qint64 to, const QSize &viewSize, QWidget *parent)
    : QDialog(parent), m_from(new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(from))),
      m_to(new QDateTimeEdit(QDateTime::fromSecsSinceEpoch(to))), m_speed(new QComboBox),
      m_size(new QComboBox), m_length(new QLabel),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel))
{
    setWindowTitle(tr("Video exportieren"));
    for (QDateTimeEdit *edit : {m_from, m_to}) {
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
        edit->setCalendarPopup(true);
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, &VideoExportDialog::recheck);
    }
    for (const int speed : speeds) {
        m_speed->addItem(speed < 60 ? tr("%1 s Rennzeit je Sekunde").arg(speed)
                                    : tr("%1 min Rennzeit je Sekunde").arg(speed / 60),
                         speed);
    }
    m_speed->setCurrentIndex(m_speed->findData(defaultSpeed));
    connect(m_speed, &QComboBox::currentIndexChanged, this, &VideoExportDialog::recheck);
    const QSize view = VideoEncoder::evenSize(viewSize);
    m_size->addItem(tr("Kartenansicht (%1 × %2)").arg(view.width()).arg(view.height()), view);
    m_size->addItem(QStringLiteral("1920 × 1080"), QSize(1920, 1080));

    auto *form = new QFormLayout(this);
    form->addRow(tr("Von:"), m_from);
    form->addRow(tr("Bis:"), m_to);
    form->addRow(tr("Tempo:"), m_speed);
    form->addRow(tr("Größe:"), m_size);
    form->addRow(m_length);
    form->addRow(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    recheck();
}

qint64 VideoExportDialog::from() const
{
    return m_from->dateTime().toSecsSinceEpoch();
}

qint64 VideoExportDialog::to() const
{
    return m_to->dateTime().toSecsSinceEpoch();
}

int VideoExportDialog::speed() const
{
    return m_speed->currentData().toInt();
}

QSize VideoExportDialog::frameSize() const
{
    return m_size->currentData().toSize();
}

void VideoExportDialog::recheck()
{
    const VideoPlan plan(from(), to(), speed());
    QString text;
    switch (plan.problem()) {
    case VideoPlan::Problem::None: {
        const int seconds = plan.frameCount() / VideoEncoder::framesPerSecond;
        text = tr("Länge des Videos: %1:%2 min")
                   .arg(seconds / 60)
                   .arg(seconds % 60, 2, 10, QLatin1Char('0'));
        break;
    }
    case VideoPlan::Problem::EmptySpan:
        text = tr("Das Ende muss nach dem Anfang liegen.");
        break;
    case VideoPlan::Problem::BadSpeed:
    case VideoPlan::Problem::TooLong:
        text = tr("Das Video würde länger als eine Stunde: bitte ein höheres Tempo wählen.");
        break;
    }
    m_length->setText(text);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(plan.problem() == VideoPlan::Problem::None);
}

VideoExportFlow::VideoExportFlow(QWidget *dialogParent)
    : QObject(dialogParent), m_dialogParent(dialogParent)
{
}

void VideoExportFlow::setDialogRunner(DialogRunner runner)
{
    dialogRunner() = std::move(runner);
}

void VideoExportFlow::exportRace(VideoExport::Request request, const QSize &viewSize)
{
    const QString title = tr("Video exportieren");
    if (!VideoEncoder::hasH264Encoder()) {
        Seams::critical(title, VideoEncoder::missingEncoderText(), QMessageBox::Ok);
        return;
    }
    if (request.to <= request.from) {
        Seams::information(title, tr("Die Regatta hat keine Positionen für ein Video."));
        return;
    }
    VideoExportDialog dialog(request.from, request.to, viewSize, m_dialogParent);
    const bool chosen =
        dialogRunner() ? dialogRunner()(dialog) : dialog.exec() == QDialog::Accepted;
    if (!chosen)
        return;
    request.from = dialog.from();
    request.to = dialog.to();
    request.speed = dialog.speed();
    request.size = dialog.frameSize();

    QString name = request.raceName;
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")), QStringLiteral("_"));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    const QString suggested = QDir(folder).filePath(
        (name.trimmed().isEmpty() ? QStringLiteral("regatta") : name) + QStringLiteral(".mp4"));
    QString path =
        GpxExportFlow::chooseSaveFile(m_dialogParent, title, suggested, tr("MP4-Videos (*.mp4)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".mp4");

    QProgressDialog progress(tr("Video wird geschrieben..."), tr("Abbrechen"), 0,
                             VideoPlan(request.from, request.to, request.speed).frameCount(),
                             m_dialogParent);
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    VideoExport video;
    const VideoExport::Outcome outcome = video.write(request, path, [&progress](int done, int) {
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    progress.reset();
    switch (outcome) {
    case VideoExport::Outcome::Written:
        emit message(tr("Video nach %1 exportiert").arg(QDir::toNativeSeparators(path)),
                     statusMessageMs);
        break;
    case VideoExport::Outcome::Cancelled:
        emit message(tr("Videoexport abgebrochen"), statusMessageMs);
        break;
    case VideoExport::Outcome::Failed:
        Seams::critical(title, video.error(), QMessageBox::Ok);
        break;
    }
}
