#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <algorithm>

#include "window/Base.h"
#include "window/ErrorChart.h"
#include "window/LearningCurve.h"
#include "window/LearningWindow.h"

namespace {

// During a training the learning window is repainted a few times a second at most, and never for
// more than a fiftieth of the time: a network whose picture takes 10 ms waits half a second.
constexpr qint64 kWindowInterval = 250;  // milliseconds
constexpr qint64 kWindowCostShare = 50;
constexpr qint64 kChartCostShare = 100;

// A left click on a picture opens the learning window.
class OpenOnClick final : public QObject {
public:
    OpenOnClick(QWidget* picture, TFormBase* form) : QObject(picture), form_(form) {
        picture->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            form_->ShowLearningWindow();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TFormBase* form_;
};

}  // namespace

void TFormBase::CreateLearningViews() {
    // Under "Vzorků učení", in the corner that EditUceni and Memo leave free.
    ChartChyba = new ErrorChart(Base::Curve, Client);
    ChartChyba->setObjectName(QStringLiteral("ChartChyba"));
    ChartChyba->setGeometry(694, 500, 91, 84);
    connect(ChartChyba, &ErrorChart::Activated, this, &TFormBase::ShowLearningWindow);
    new OpenOnClick(ImageIkona, this);
    ImageIkona->setCursor(Qt::PointingHandCursor);
}

void TFormBase::ShowLearningWindow() {
    if (FormUceni == nullptr) {
        FormUceni = new LearningWindow(Base::Curve, Base::Network, MemoVstup, this);
        // First over the middle of the main window; afterwards where the user leaves it.
        FormUceni->move(frameGeometry().center() - FormUceni->rect().center());
    }
    FormUceni->show();
    FormUceni->raise();
    FormUceni->activateWindow();
    FormUceni->Refresh();
}

void TFormBase::ShowLearningProgress(const QString& trainedSamples) {
    // The sample count and the chart are repainted on the bar's tick, yet never for more than a
    // hundredth of the training's time: a paint that takes 0.3 ms waits 30 ms.
    if (!sinceChartRefresh_.isValid() ||
        sinceChartRefresh_.nsecsElapsed() >= chartRefreshCost_ * kChartCostShare) {
        QElapsedTimer cost;
        cost.start();
        EditUceni->setText(trainedSamples);
        EditUceni->repaint();
        ChartChyba->Refresh();
        ChartChyba->repaint();
        chartRefreshCost_ = cost.nsecsElapsed();
        sinceChartRefresh_.start();
    }
    if (FormUceni == nullptr || !FormUceni->isVisible()) {
        return;
    }
    if (!sinceWindowRefresh_.isValid() ||
        sinceWindowRefresh_.elapsed() >=
            std::max(kWindowInterval, windowRefreshCost_ * kWindowCostShare)) {
        QElapsedTimer cost;
        cost.start();
        FormUceni->RepaintNow();
        windowRefreshCost_ = cost.elapsed();
        sinceWindowRefresh_.start();
    }
}

void TFormBase::RefreshLearningViews() {
    ChartChyba->Refresh();
    if (FormUceni != nullptr && FormUceni->isVisible()) {
        FormUceni->Refresh();
    }
}
