#include "window/ErrorChart.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "engine/Numbers.h"
#include "window/CurvePlot.h"

ErrorChart::ErrorChart(const LearningCurve& curve, QWidget* parent)
    : QWidget(parent), curve_(curve) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(
        QStringLiteral("Průběh chyby učení po cyklech (logaritmická osa). Kliknutím "
                       "otevřete okno Učení sítě s velkým grafem a obrázkem sítě."));
    setAccessibleName(QStringLiteral("Průběh chyby"));
    Refresh();
}

void ErrorChart::Refresh() {
    const Learning& learning = curve_.Current();
    if (curve_.Started() == shownStart_ && learning.Cycles() == shownCycles_ &&
        learning.PlannedCycles() == shownPlanned_) {
        return;
    }
    shownPlanned_ = learning.PlannedCycles();
    shownStart_ = curve_.Started();
    shownCycles_ = learning.Cycles();
    if (learning.Cycles() == 0) {
        setAccessibleDescription(QStringLiteral(
            "Graf chyby učení, zatím bez cyklů. Enter nebo mezerník otevře okno Učení sítě."));
    } else {
        setAccessibleDescription(QStringLiteral("Graf chyby učení: ") +
                                 CyclesText(learning.Cycles()) +
                                 QStringLiteral(", poslední průměrná chyba ") +
                                 QString::fromStdString(zelk::FormatNumber(learning.LastError())) +
                                 QStringLiteral(". Enter nebo mezerník otevře okno Učení sítě."));
    }
    update();
}

void ErrorChart::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect frame = rect();
    painter.fillRect(frame, Qt::white);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    CurvePlot::Options options;
    options.font = font();
    CurvePlot(curve_, QRectF(frame).adjusted(1.0, 1.0, -1.0, -1.0), options).Paint(painter);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = frame.adjusted(2, 2, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void ErrorChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        event->accept();
        emit Activated();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ErrorChart::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            event->accept();
            emit Activated();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}
