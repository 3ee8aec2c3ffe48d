#include "window/LearningWindow.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>
#include <stdexcept>
#include <string>

#include "engine/Numbers.h"
#include "window/Base.h"
#include "window/CurvePlot.h"
#include "window/NetworkPicture.h"

namespace {

QFileDialog* NewSaveDialog(QWidget* parent, const char* name, const QString& filter,
                           const QString& suffix) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(QLatin1String(name));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(filter);
    dialog->setDefaultSuffix(suffix);
    dialog->setDirectory(QString::fromStdString(Base::DialogDirectory(Base::ExeDirectory)));
    return dialog;
}

// The chosen file name, or the empty text when the user cancelled.
QString RunSaveDialog(QFileDialog* dialog) {
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return {};
    }
    return dialog->selectedFiles().front();
}

void Describe(QWidget* part, const QString& name, const QString& description) {
    part->setAccessibleName(name);
    part->setAccessibleDescription(description);
}

}  // namespace

CurveView::CurveView(const LearningCurve& curve, QWidget* parent) : QWidget(parent), curve_(curve) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(360, 240);
}

void CurveView::SetLogScale(bool logScale) {
    logScale_ = logScale;
    update();
}

void CurveView::Draw(QPainter& painter) const {
    painter.fillRect(rect(), palette().color(QPalette::Window));
    CurvePlot::Options options;
    options.logScale = logScale_;
    options.axes = true;
    options.font = font();
    CurvePlot(curve_, QRectF(rect()), options).Paint(painter, marked_);
}

QImage CurveView::Picture() const {
    QImage picture(size(), QImage::Format_RGB32);
    QPainter painter(&picture);
    Draw(painter);
    return picture;
}

void CurveView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    Draw(painter);
}

void CurveView::Mark(std::optional<std::size_t> point) {
    if (point != marked_) {
        marked_ = point;
        update();
        emit MarkChanged();
    }
}

void CurveView::mouseMoveEvent(QMouseEvent* event) {
    CurvePlot::Options options;
    options.logScale = logScale_;
    options.axes = true;
    options.font = font();
    const CurvePlot plot(curve_, QRectF(rect()), options);
    if (plot.Plot().contains(event->position())) {
        Mark(plot.NearestPoint(event->position()));
    }
}

void CurveView::keyPressEvent(QKeyEvent* event) {
    const std::size_t count = curve_.Current().PointCount();
    if (count == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const std::size_t at = marked_.value_or(count - 1);
    const std::size_t page = std::max<std::size_t>(count / 10, 1);
    switch (event->key()) {
        case Qt::Key_Left:
            Mark(at > 0 ? at - 1 : 0);
            break;
        case Qt::Key_Right:
            Mark(std::min(at + 1, count - 1));
            break;
        case Qt::Key_PageUp:
            Mark(at > page ? at - page : 0);
            break;
        case Qt::Key_PageDown:
            Mark(std::min(at + page, count - 1));
            break;
        case Qt::Key_Home:
            Mark(0);
            break;
        case Qt::Key_End:
            Mark(count - 1);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

LearningWindow::LearningWindow(const LearningCurve& curve, const zelk::Network& network,
                               QPlainTextEdit* inputs, QWidget* parent)
    : QWidget(parent, Qt::Window), curve_(curve), network_(network), inputs_(inputs) {
    setObjectName(QStringLiteral("FormUceni"));
    setWindowTitle(QStringLiteral("Učení sítě"));
    Describe(this, QStringLiteral("Učení sítě"),
             QStringLiteral("Průběh chyby učení a obrázek sítě s jejími vahami"));
    resize(820, 560);

    Tabs = new QTabWidget(this);
    Tabs->setObjectName(QStringLiteral("Tabs"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(Tabs);

    TabChyba = new QWidget;
    TabChyba->setObjectName(QStringLiteral("TabChyba"));
    Describe(TabChyba, QStringLiteral("Průběh chyby"),
             QStringLiteral("Průměrná absolutní chyba výstupů v každém cyklu učení"));
    Curve = new CurveView(curve, TabChyba);
    Curve->setObjectName(QStringLiteral("CurveView"));
    Describe(Curve, QStringLiteral("Graf chyby"),
             QStringLiteral("Chyba podle cyklů; šipky vlevo a vpravo vybírají bod grafu"));
    Curve->setToolTip(
        QStringLiteral("Bod nejblíže ukazateli se vypíše pod grafem; šipky "
                       "vlevo a vpravo jím posunou"));
    CheckBoxLog = new QCheckBox(QStringLiteral("Logaritmická osa chyby"), TabChyba);
    CheckBoxLog->setObjectName(QStringLiteral("CheckBoxLog"));
    CheckBoxLog->setChecked(true);
    CheckBoxLog->setToolTip(
        QStringLiteral("Osa chyby logaritmická (zřetelná i malá zlepšení), nebo lineární"));
    Describe(CheckBoxLog, CheckBoxLog->text(), CheckBoxLog->toolTip());
    LabelBod = new QLabel(TabChyba);
    LabelBod->setObjectName(QStringLiteral("LabelBod"));
    LabelBod->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ButtonUlozitObrazek = new QPushButton(QStringLiteral("Uložit obrázek…"), TabChyba);
    ButtonUlozitObrazek->setObjectName(QStringLiteral("ButtonUlozitObrazek"));
    ButtonUlozitObrazek->setToolTip(QStringLiteral("Uloží graf jako obrázek PNG"));
    Describe(ButtonUlozitObrazek, QStringLiteral("Uložit obrázek"), ButtonUlozitObrazek->toolTip());
    ButtonUlozitData = new QPushButton(QStringLiteral("Uložit data…"), TabChyba);
    ButtonUlozitData->setObjectName(QStringLiteral("ButtonUlozitData"));
    ButtonUlozitData->setToolTip(
        QStringLiteral("Uloží body křivky do souboru CSV: cyklus a chyba na každém řádku"));
    Describe(ButtonUlozitData, QStringLiteral("Uložit data"), ButtonUlozitData->toolTip());
    auto* chybaLayout = new QVBoxLayout(TabChyba);
    chybaLayout->addWidget(Curve, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(CheckBoxLog);
    row->addSpacing(16);
    row->addWidget(LabelBod, 1);
    row->addWidget(ButtonUlozitObrazek);
    row->addWidget(ButtonUlozitData);
    chybaLayout->addLayout(row);
    Tabs->addTab(TabChyba, QStringLiteral("Průběh chyby"));

    TabSit = new QWidget;
    TabSit->setObjectName(QStringLiteral("TabSit"));
    Describe(TabSit, QStringLiteral("Síť"),
             QStringLiteral("Obrázek sítě: neurony po vrstvách zleva doprava, synapse barvou "
                            "podle znaménka váhy a tloušťkou podle její velikosti, výplň neuronu "
                            "podle jeho výstupu pro vstup z řádku s kurzorem v poli Vstup"));
    Picture = new NetworkPicture(network, TabSit);
    Picture->setObjectName(QStringLiteral("NetworkPicture"));
    Describe(Picture, QStringLiteral("Obrázek sítě"), TabSit->accessibleDescription());
    auto* sitLayout = new QVBoxLayout(TabSit);
    sitLayout->addWidget(Picture);
    Tabs->addTab(TabSit, QStringLiteral("Síť"));

    SavePictureDialog =
        NewSaveDialog(this, "SavePictureDialog", QStringLiteral("Obrázky PNG (*.png)"), "png");
    SaveDataDialog =
        NewSaveDialog(this, "SaveDataDialog", QStringLiteral("Data CSV (*.csv)"), "csv");

    connect(CheckBoxLog, &QCheckBox::toggled, Curve, &CurveView::SetLogScale);
    connect(Curve, &CurveView::MarkChanged, this, &LearningWindow::ShowMarkedPoint);
    connect(ButtonUlozitObrazek, &QPushButton::clicked, this,
            &LearningWindow::ButtonUlozitObrazekClick);
    connect(ButtonUlozitData, &QPushButton::clicked, this, &LearningWindow::ButtonUlozitDataClick);
    connect(inputs_, &QPlainTextEdit::cursorPositionChanged, this, &LearningWindow::Refresh);
    connect(inputs_, &QPlainTextEdit::textChanged, this, &LearningWindow::Refresh);
    RefreshNow();
}

void LearningWindow::Refresh() {
    if (refreshPending_) {
        return;
    }
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (refreshPending_) {
            RefreshNow();
        }
    });
}

void LearningWindow::RefreshNow() {
    refreshPending_ = false;
    Curve->update();
    ShowMarkedPoint();
    FollowInputs();
}

void LearningWindow::RepaintNow() {
    RefreshNow();
    Tabs->currentWidget()->repaint();
}

void LearningWindow::FollowInputs() {
    if (!isVisible()) {
        return;
    }
    const int line = inputs_->textCursor().blockNumber();
    const std::vector<std::string> lines = Base::PaneLines(inputs_);
    const std::string text = line >= 0 && static_cast<std::size_t>(line) < lines.size()
                                 ? lines[static_cast<std::size_t>(line)]
                                 : std::string();
    const int32_t count = network_.Layers.empty() ? 0 : network_.Layers.front().NeuronCount;
    Picture->SetInputs(zelk::ReadPattern(text, count),
                       QStringLiteral("Výstupy neuronů pro vstup „%1“ (řádek %2 pole Vstup)")
                           .arg(QString::fromStdString(text))
                           .arg(line + 1));
}

void LearningWindow::ShowMarkedPoint() {
    const Learning& learning = curve_.Current();
    const std::optional<std::size_t> marked = Curve->Marked();
    if (learning.PointCount() == 0) {
        LabelBod->setText(QStringLiteral("Zatím žádný cyklus učení."));
    } else if (!marked || *marked >= learning.PointCount()) {
        LabelBod->setText(CyclesText(learning.Cycles()) + QStringLiteral(", poslední chyba ") +
                          QString::fromStdString(zelk::FormatNumber(learning.LastError())));
    } else {
        const std::size_t i = *marked;
        const int64_t last = learning.PointCycle(i);
        const int64_t first = last - learning.PointWidth(i) + 1;
        const QString cycles = first == last ? QStringLiteral("Cyklus %1").arg(last)
                                             : QStringLiteral("Cykly %1–%2").arg(first).arg(last);
        LabelBod->setText(cycles + QStringLiteral(": chyba ") +
                          QString::fromStdString(zelk::FormatNumber(learning.PointError(i))));
    }
    LabelBod->setAccessibleName(LabelBod->text());
}

void LearningWindow::ButtonUlozitObrazekClick() {
    const QString file = RunSaveDialog(SavePictureDialog);
    if (file.isEmpty()) {
        return;
    }
    if (!Curve->Picture().save(file, "PNG")) {
        Base::ShowErrorBox(this, "Obrázek se nepodařilo uložit do " + file.toStdString());
    }
}

void LearningWindow::ButtonUlozitDataClick() {
    const QString file = RunSaveDialog(SaveDataDialog);
    if (file.isEmpty()) {
        return;
    }
    const std::string csv = curve_.Current().Csv();
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
        !out.commit()) {
        Base::ShowErrorBox(this, "Data se nepodařilo uložit do " + file.toStdString());
    }
}

void LearningWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
