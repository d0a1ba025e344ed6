#include "dialogs/series_browser.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zx {
namespace {

QString U(const std::string& s) { return QString::fromStdString(s); }

QString Mm(double v) { return v > 0 ? QLocale(QLocale::German).toString(v, 'f', 2) : QString(); }

QIcon Thumbnail(const std::vector<std::uint8_t>& greys) {
    if (greys.size() != std::size_t(kThumbnailSide) * kThumbnailSide) return {};
    const QImage img(greys.data(), kThumbnailSide, kThumbnailSide, kThumbnailSide,
                     QImage::Format_Grayscale8);
    return QIcon(QPixmap::fromImage(img.copy()));
}

}  // namespace

TSeriesBrowser::TSeriesBrowser(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SeriesBrowser"));
    setWindowTitle(QStringLiteral("DICOM-Serien"));
    setModal(true);
    resize(1040, 460);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    SeriesList = new QTreeWidget(this);
    SeriesList->setObjectName(QStringLiteral("SeriesList"));
    SeriesList->setRootIsDecorated(false);
    SeriesList->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    SeriesList->setHeaderLabels({QStringLiteral("Patient / Studie"), QStringLiteral("Nr."),
                                 QStringLiteral("Beschreibung"), QString::fromUtf8("Modalität"),
                                 QStringLiteral("Bilder"), QString::fromUtf8("Größe"),
                                 QStringLiteral("Abstand (mm)"), QStringLiteral("Art")});
    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Abbrechen"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(SeriesList);
    layout->addLayout(buttons);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(SeriesList, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item && (item->flags() & Qt::ItemIsEnabled)) accept();
    });
    connect(SeriesList, &QTreeWidget::itemSelectionChanged, this,
            [this] { OkButton->setEnabled(ChosenSeries() > 0); });
}

void TSeriesBrowser::SetIndex(const QString& path, const DicomFolderIndex& index) {
    SeriesList->clear();
    const std::size_t volumes = VolumeCount(index.series);
    Label1->setText(QString::fromUtf8("%1: %2 Serien, davon %3 Volumen. Welche Serie soll geöffnet "
                                      "werden?")
                        .arg(path)
                        .arg(index.series.size())
                        .arg(volumes));
    for (std::size_t i = 0; i < index.series.size(); ++i) {
        const IndexedSeries& s = index.series[i];
        const bool volume = s.kind == SeriesKind::Volume;
        QString study = U(s.patient);
        for (const std::string& t : {s.studyDate, s.studyDescription})
            if (!t.empty()) study += (study.isEmpty() ? QString() : QStringLiteral(", ")) + U(t);
        const QString size =
            s.rows ? QStringLiteral("%1 × %2").arg(s.columns).arg(s.rows) : QStringLiteral("–");
        QString spacing;
        if (s.pixelSpacing[0] > 0)
            spacing = Mm(s.pixelSpacing[1]) + QString::fromUtf8(" × ") + Mm(s.pixelSpacing[0]);
        if (s.step > 0) spacing += QString::fromUtf8(" × ") + Mm(s.step);
        // Greyed rows say why; a reason that names its kind stands alone.
        QString kind = U(KindWord(s.kind));
        if (!volume && !s.reason.empty())
            kind = U(s.reason).startsWith(kind) ? U(s.reason)
                                                : kind + QStringLiteral(" (") + U(s.reason) + u')';
        auto* item = new QTreeWidgetItem(
            SeriesList, {study, U(s.seriesNumber), U(s.seriesDescription), U(s.modality),
                         QString::number(s.images), size, spacing, kind});
        item->setData(0, Qt::UserRole, int(i) + 1);
        if (i < index.thumbnails.size()) item->setIcon(0, Thumbnail(index.thumbnails[i]));
        if (!volume) {
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            item->setToolTip(7, U(s.reason));
        }
    }
    for (int c = 0; c < SeriesList->columnCount(); ++c) SeriesList->resizeColumnToContents(c);
    OkButton->setEnabled(false);
    for (std::size_t i = 0; i < index.series.size(); ++i)
        if (Choose(int(i) + 1)) break;
}

int TSeriesBrowser::ChosenSeries() const {
    const QList<QTreeWidgetItem*> chosen = SeriesList->selectedItems();
    return chosen.isEmpty() ? 0 : chosen.front()->data(0, Qt::UserRole).toInt();
}

bool TSeriesBrowser::Choose(int series) {
    QTreeWidgetItem* item = SeriesList->topLevelItem(series - 1);
    if (!item || !(item->flags() & Qt::ItemIsSelectable)) return false;
    SeriesList->setCurrentItem(item);
    item->setSelected(true);
    return true;
}

}  // namespace zx
