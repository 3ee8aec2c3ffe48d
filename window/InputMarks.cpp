#include "window/InputMarks.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "engine/Engine.h"
#include "window/Base.h"

namespace InputMarks {

namespace {

const QColor kUnreadColour(230, 0, 0);
const QColor kSurplusColour(110, 110, 110);

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// 1 hodnota, 2 hodnoty, 5 hodnot: the Czech forms after a count.
QString Counted(int n, const char* one, const char* few, const char* many) {
    const char* form = n == 1 ? one : (n >= 2 && n <= 4 ? few : many);
    return QString::number(n) + u' ' + QString::fromUtf8(form);
}

QString Quoted(const QString& text) { return u'„' + text + u'“'; }

QString Number(double value) { return QString::fromStdString(zelk::FormatNumber(value)); }

// The UTF-16 position of every byte offset of a line's UTF-8 text. The readers cut only at ASCII
// characters, so every offset they give starts a character.
class Positions {
public:
    explicit Positions(const QString& line) : utf8_(line.toStdString()) {
        units_.reserve(utf8_.size() + 1);
        int unit = 0;
        for (std::size_t i = 0; i < utf8_.size();) {
            const auto lead = static_cast<unsigned char>(utf8_[i]);
            const std::size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            for (std::size_t k = 0; k < bytes && i + k < utf8_.size(); ++k) {
                units_.push_back(unit);
            }
            i += bytes;
            unit += bytes == 4 ? 2 : 1;
        }
        units_.resize(utf8_.size());
        units_.push_back(unit);
    }

    const std::string& Utf8() const { return utf8_; }
    int At(std::size_t offset) const { return units_[std::min(offset, utf8_.size())]; }

private:
    std::string utf8_;
    std::vector<int> units_;
};

// [begin, end) of the text without blanks at either end; begin == end when only blanks are left.
std::pair<std::size_t, std::size_t> Trimmed(const std::string& text, std::size_t begin,
                                            std::size_t end) {
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return {begin, end};
}

// Where a field's characters start: after an enclosing quote.
std::size_t ValueStart(const std::string& text, zelk::FieldSpan span) {
    const bool enclosed =
        span.End - span.Begin >= 2 && text[span.Begin] == '"' && text[span.End - 1] == '"';
    return enclosed ? span.Begin + 1 : span.Begin;
}

QString Part(const std::string& text, std::size_t begin, std::size_t end) {
    return QString::fromStdString(text.substr(begin, end - begin));
}

// What a reader did not read of one value: its characters start at `start`, its number ends at
// `numberEnd`, and [begin, end) is what follows, blanks trimmed.
struct Unread {
    std::size_t start;
    std::size_t numberEnd;
    std::size_t begin;
    std::size_t end;
};

// "Pište desetinnou tečku: 0.5": the value as typed, its first unread "," made a ".".
QString WithPoint(const std::string& text, const Unread& unread) {
    std::string typed = text.substr(unread.start, unread.end - unread.start);
    const auto [begin, end] = Trimmed(typed, 0, typed.size());
    typed = typed.substr(begin, end - begin);
    const std::size_t comma = typed.find(',');
    if (comma != std::string::npos) {
        typed[comma] = '.';
    }
    return QString::fromStdString(typed);
}

// The tooltip of the unread characters of one value of a pattern line.
QString PatternUnreadTip(const std::string& text, const Unread& unread, double value,
                         const zelk::PatternField* next) {
    const QString read = QStringLiteral("Čte se jako ") + Number(value);
    const QString ignored = Part(text, unread.begin, unread.end);
    if (unread.numberEnd == unread.start) {
        return read + QStringLiteral(": ") + Quoted(ignored) + QStringLiteral(" není číslo");
    }
    const char first = text[unread.begin];
    const bool digitAfter = unread.begin + 1 < unread.end && text[unread.begin + 1] >= '0' &&
                            text[unread.begin + 1] <= '9';
    if (first == ',' && digitAfter && unread.begin == unread.numberEnd) {
        return read + QStringLiteral(": desetinná čárka. Pište desetinnou tečku: ") +
               WithPoint(text, unread);
    }
    if ((first == 'e' || first == 'E') && unread.end == unread.begin + 1) {
        // "1e-2" cuts into "1e" and "2": the minus of the exponent separates values.
        if (next != nullptr && !next->Blank) {
            const auto [b, e] = Trimmed(text, next->Span.Begin, next->Span.End);
            const QString whole = Part(text, unread.start, unread.end) + u'-' + Part(text, b, e);
            return read +
                   QStringLiteral(
                       ": exponent bez číslic. Záporný exponent pište v "
                       "uvozovkách: \"") +
                   whole.trimmed() + u'"';
        }
        return read + QStringLiteral(": exponent bez číslic se nečte");
    }
    if (unread.begin > unread.numberEnd) {
        return read + QStringLiteral(": mezera ukončí číslo. Hodnoty oddělujte pomlčkou");
    }
    return read + QStringLiteral(": ") + Quoted(ignored) + QStringLiteral(" za číslem se nečte");
}

QString LayerText(Layer layer, int size) {
    return (layer == Layer::Input ? QStringLiteral("vstupní") : QStringLiteral("výstupní")) +
           QStringLiteral(" vrstva má ") + Counted(size, "neuron", "neurony", "neuronů");
}

}  // namespace

std::vector<Mark> PatternMarks(const QString& line, int layerSize, Layer layer) {
    const Positions positions(line);
    const std::string& text = positions.Utf8();
    const std::vector<zelk::PatternField> fields = zelk::ReadPatternFields(text);
    // Blank fields after the last value are no values: "1-" holds one.
    std::size_t values = fields.size();
    while (values > 0 && fields[values - 1].Blank) {
        --values;
    }

    std::vector<Mark> marks;
    const auto add = [&](std::size_t begin, std::size_t end, Kind kind, QString tip) {
        marks.push_back({positions.At(begin), positions.At(end), kind, std::move(tip)});
    };
    for (std::size_t i = 0; i < values; ++i) {
        const zelk::PatternField& field = fields[i];
        if (layerSize >= 0 && i >= static_cast<std::size_t>(layerSize)) {
            if (!field.Blank) {
                // The separator before it goes with it: "-7" of "1-0-7".
                const std::size_t end = Trimmed(text, field.Span.Begin, field.Span.End).second;
                add(field.Span.Begin > 0 ? field.Span.Begin - 1 : 0, end, Kind::Surplus,
                    QStringLiteral("Nadbytečná hodnota: ") + LayerText(layer, layerSize));
            }
            continue;
        }
        if (field.Blank) {
            // The empty value and the separator after it: the "-" of "-1".
            QString tip = QStringLiteral(
                "Prázdná hodnota se čte jako 0: pomlčka odděluje hodnoty. Záporné číslo pište v "
                "uvozovkách: ");
            const zelk::PatternField& next = fields[i + 1];
            const auto [b, e] = Trimmed(text, next.Span.Begin, next.Span.End);
            const bool plain = !next.Blank && next.NumberEnd == e && text[b] != '"';
            tip +=
                plain ? QStringLiteral("\"-") + Part(text, b, e) + u'"' : QStringLiteral("\"-1\"");
            add(field.Span.Begin, field.Span.End + 1, Kind::Empty, tip);
            continue;
        }
        const auto [begin, end] = Trimmed(text, field.NumberEnd, field.ValueEnd);
        if (begin < end) {
            const Unread unread{ValueStart(text, field.Span), field.NumberEnd, begin, end};
            add(begin, end, Kind::Unread,
                PatternUnreadTip(text, unread, field.Value,
                                 i + 1 < fields.size() ? &fields[i + 1] : nullptr));
        }
    }
    if (layerSize >= 0 && values < static_cast<std::size_t>(layerSize)) {
        const int missing = layerSize - static_cast<int>(values);
        add(text.size(), text.size(), Kind::Missing,
            QStringLiteral("Chybí ") + Counted(missing, "hodnota", "hodnoty", "hodnot") +
                (missing == 1 ? QStringLiteral(": čte se jako 0")
                              : QStringLiteral(": čtou se jako 0")));
    }
    return marks;
}

std::vector<Mark> ShapeMarks(const QString& shape) {
    const Positions positions(shape);
    const std::string& text = positions.Utf8();
    const zelk::ShapeReading reading = zelk::ReadShape(text);
    std::vector<Mark> marks;
    for (const zelk::ShapeField& field : reading.Layers) {
        const std::size_t valueStart = ValueStart(text, field.Span);
        const std::size_t read = std::max(field.SizeEnd, valueStart);
        const auto [begin, end] = Trimmed(text, read, field.ValueEnd);
        if (begin == end) {
            continue;
        }
        const QString size = QString::number(field.SizeEnd <= valueStart ? 0 : field.Size);
        QString tip = QStringLiteral("Čte se jako ") + size;
        const QString ignored = Part(text, begin, end);
        if (field.SizeEnd <= valueStart) {
            tip += QStringLiteral(": ") + Quoted(ignored) +
                   QStringLiteral(" není počet neuronů, vrstva nemá žádný neuron");
        } else if (text[begin] == ',' && begin == field.SizeEnd) {
            std::string typed = text.substr(valueStart, end - valueStart);
            std::replace(typed.begin(), typed.end(), ',', '-');
            tip += QStringLiteral(": čárka vrstvy neodděluje. Vrstvy oddělujte pomlčkou: ") +
                   QString::fromStdString(typed).trimmed();
        } else {
            tip += QStringLiteral(": počet neuronů je celé číslo, ") + Quoted(ignored) +
                   QStringLiteral(" se nečte");
        }
        marks.push_back({positions.At(begin), positions.At(end), Kind::Unread, tip});
    }
    // What follows the blank field that ends the list, with the separator before it.
    if (reading.ListEnd < text.size()) {
        const std::size_t from = reading.ListEnd > 0 ? reading.ListEnd - 1 : 0;
        const auto [begin, end] = Trimmed(text, from, text.size());
        const bool onlySeparators = std::all_of(text.begin() + static_cast<std::ptrdiff_t>(begin),
                                                text.begin() + static_cast<std::ptrdiff_t>(end),
                                                [](char c) { return c == '-' || IsBlank(c); });
        if (!onlySeparators) {
            const int layers = static_cast<int>(reading.Layers.size());
            marks.push_back(
                {positions.At(begin), positions.At(end), Kind::Surplus,
                 QStringLiteral("Nečte se: prázdná hodnota ukončí seznam vrstev, ") +
                     (layers == 0 ? QStringLiteral("síť nemá žádnou vrstvu")
                                  : QStringLiteral("síť má ") +
                                        Counted(layers, "vrstvu", "vrstvy", "vrstev"))});
        }
    }
    return marks;
}

std::vector<Mark> CycleCountMarks(const QString& count) {
    const Positions positions(count);
    const std::string& text = positions.Utf8();
    const Base::CycleCount cycles = Base::ReadCycleCount(text);
    // A negative or too large count is refused by the command with a message of its own.
    if (cycles.negative || cycles.tooLarge) {
        return {};
    }
    const auto [begin, end] = Trimmed(text, cycles.end, text.size());
    if (begin == end) {
        return {};
    }
    QString tip = QStringLiteral("Čte se jako ") + QString::number(cycles.value);
    const QString ignored = Part(text, begin, end);
    const double whole = zelk::ReadNumber(text);
    std::string digits = text;
    std::erase_if(digits, IsBlank);
    const bool onlyDigits =
        !digits.empty() &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (cycles.end == 0) {
        tip += QStringLiteral(": ") + Quoted(ignored) + QStringLiteral(" není počet cyklů");
    } else if (begin > cycles.end && onlyDigits) {
        tip += QStringLiteral(": mezera ukončí číslo. Pište bez mezer: ") +
               QString::fromStdString(digits);
    } else if ((text[begin] == 'e' || text[begin] == 'E') && whole == std::floor(whole) &&
               whole >= 0 && whole <= std::numeric_limits<int32_t>::max()) {
        tip += QStringLiteral(": počet cyklů se píše bez exponentu. Pište ") +
               QString::number(static_cast<qint64>(whole));
    } else {
        tip += QStringLiteral(": počet cyklů je celé číslo, ") + Quoted(ignored) +
               QStringLiteral(" se nečte");
    }
    return {{positions.At(begin), positions.At(end), Kind::Unread, tip}};
}

QString PartsNotRead(int count) {
    if (count <= 0) {
        return {};
    }
    if (count == 1) {
        return QStringLiteral("1 část se nečte tak, jak je napsána");
    }
    return QString::number(count) + (count <= 4
                                         ? QStringLiteral(" části se nečtou tak, jak jsou napsány")
                                         : QStringLiteral(" částí se nečte tak, jak jsou napsány"));
}

// --- Drawing ---------------------------------------------------------------------------------

class Overlay final : public QWidget {
public:
    Overlay(QWidget* parent, std::function<void(QPainter&)> paint)
        : QWidget(parent), paint_(std::move(paint)) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setObjectName(parent->objectName() + QStringLiteral("Marks"));
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        paint_(painter);
    }

private:
    std::function<void(QPainter&)> paint_;
};

namespace {

// A red wavy or grey dotted line from x0 to x1 at height y.
void Underline(QPainter& painter, Kind kind, qreal x0, qreal x1, qreal y) {
    if (kind == Kind::Surplus) {
        painter.setPen(QPen(kSurplusColour, 1.0, Qt::DotLine));
        painter.drawLine(QPointF(x0, y), QPointF(x1, y));
        return;
    }
    QPainterPath wave;
    constexpr qreal kHalfPeriod = 2.0;
    constexpr qreal kAmplitude = 1.25;
    wave.moveTo(x0, y);
    bool up = true;
    for (qreal x = x0; x < x1; x += kHalfPeriod) {
        wave.lineTo(std::min(x + kHalfPeriod, x1), y + (up ? -kAmplitude : kAmplitude));
        up = !up;
    }
    painter.setPen(QPen(kUnreadColour, 1.2));
    painter.drawPath(wave);
}

// The caret that marks missing values: a small red "^" under the end of the line.
void Caret(QPainter& painter, qreal x, qreal bottom) {
    QPainterPath caret;
    caret.moveTo(x - 3.0, bottom);
    caret.lineTo(x, bottom - 4.0);
    caret.lineTo(x + 3.0, bottom);
    painter.setPen(QPen(kUnreadColour, 1.5));
    painter.drawPath(caret);
}

QString Describe(const QString& own, int count, const QString& where) {
    const QString parts = PartsNotRead(count);
    if (parts.isEmpty()) {
        return own;
    }
    return own + QStringLiteral(". ") + where + parts;
}

}  // namespace

PaneMarks::PaneMarks(QPlainTextEdit* pane, Layer layer, std::function<int()> layerSize)
    : QObject(pane),
      pane_(pane),
      layer_(layer),
      layerSize_(std::move(layerSize)),
      overlay_(new Overlay(pane, [this](QPainter& painter) { Paint(painter); })),
      viewport_(pane->viewport()),
      description_(pane->accessibleDescription()) {
    // On the pane beside its viewport, not in it: the viewport scrolls its children with the text.
    overlay_->setGeometry(pane_->viewport()->geometry());
    overlay_->raise();
    pane_->viewport()->installEventFilter(this);
    connect(pane_, &QPlainTextEdit::textChanged, this, &PaneMarks::Refresh);
    // Scrolling by the keyboard moves no scroll bar signal, but every scroll asks for an update:
    // vertically other lines come on screen, sideways the marks move with the text.
    connect(pane_, &QPlainTextEdit::updateRequest, this, [this](const QRect& area, int dy) {
        if (dy != 0) {
            Refresh();
        } else if (area.contains(pane_->viewport()->rect())) {
            overlay_->update();
        }
    });
    Refresh();
}

PaneMarks::~PaneMarks() = default;

void PaneMarks::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Refresh();
}

void PaneMarks::Refresh() {
    marks_.clear();
    const int size = layerSize_();
    const QTextDocument* document = pane_->document();
    const int height = pane_->viewport()->height();
    QTextBlock block = pane_->cursorForPosition(QPoint(0, 0)).block();
    const bool fromFirst = block == document->firstBlock();
    bool toLast = true;
    for (; enabled_ && block.isValid(); block = block.next()) {
        if (pane_->cursorRect(QTextCursor(block)).top() >= height) {
            toLast = false;
            break;
        }
        // One empty line after the last line break is no line of the pane.
        if (block == document->lastBlock() && block.text().isEmpty()) {
            break;
        }
        // A soft line break (Shift+Enter) ends a line as a line break does.
        const QString text = block.text();
        int start = 0;
        for (const QString& line : text.split(QChar::LineSeparator)) {
            for (const Mark& mark : PatternMarks(line, size, layer_)) {
                const int at = block.position() + start;
                marks_.push_back({at + mark.Begin, at + mark.End, mark.What, mark.ToolTip});
            }
            start += static_cast<int>(line.size()) + 1;
        }
    }

    overlay_->update();
    Describe(static_cast<int>(marks_.size()), fromFirst && toLast);
}

void PaneMarks::Describe(int count, bool allShown) {
    const QString description = InputMarks::Describe(
        description_, count, allShown ? QString() : QStringLiteral("Na zobrazených řádcích: "));
    if (pane_->accessibleDescription() != description) {
        pane_->setAccessibleDescription(description);
    }
}

QRect PaneMarks::AreaOf(const Placed& mark) const {
    QTextCursor cursor(pane_->document());
    cursor.setPosition(mark.Begin);
    const QRect begin = pane_->cursorRect(cursor);
    if (mark.What == Kind::Missing) {
        return begin.adjusted(-4, 0, 6, 2);
    }
    cursor.setPosition(mark.End);
    return begin.united(pane_->cursorRect(cursor)).adjusted(0, 0, 0, 2);
}

QString PaneMarks::ToolTipAt(const QPoint& point) const {
    for (const Placed& mark : marks_) {
        if (AreaOf(mark).contains(point)) {
            return mark.ToolTip;
        }
    }
    return {};
}

void PaneMarks::Paint(QPainter& painter) const {
    const int ascent = QFontMetrics(pane_->font()).ascent();
    for (const Placed& mark : marks_) {
        QTextCursor cursor(pane_->document());
        cursor.setPosition(mark.Begin);
        const QRect begin = pane_->cursorRect(cursor);
        if (mark.What == Kind::Missing) {
            Caret(painter, begin.left() + 3.0, begin.bottom() + 1.0);
            continue;
        }
        cursor.setPosition(mark.End);
        const QRect end = pane_->cursorRect(cursor);
        Underline(painter, mark.What, begin.left(), end.left(), begin.top() + ascent + 2.0);
    }
}

bool PaneMarks::eventFilter(QObject* watched, QEvent* event) {
    // Compared with the viewport as it was made: while the pane is being destroyed, its viewport
    // still gets events, and the pane is no scroll area any more.
    if (watched == viewport_) {
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QString tip = ToolTipAt(help->pos());
            if (!tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), tip, pane_->viewport());
                return true;
            }
        } else if (event->type() == QEvent::Resize) {
            overlay_->setGeometry(pane_->viewport()->geometry());
            Refresh();
        }
    }
    return QObject::eventFilter(watched, event);
}

EditMarks::EditMarks(QLineEdit* edit, std::function<std::vector<Mark>(const QString&)> marksOf)
    : QObject(edit),
      edit_(edit),
      marksOf_(std::move(marksOf)),
      overlay_(new Overlay(edit, [this](QPainter& painter) { Paint(painter); })),
      description_(edit->accessibleDescription()) {
    overlay_->setGeometry(edit_->rect());
    edit_->installEventFilter(this);
    connect(edit_, &QLineEdit::textChanged, this, &EditMarks::Refresh);
    // The edit scrolls its text with the caret.
    connect(edit_, &QLineEdit::cursorPositionChanged, overlay_, qOverload<>(&QWidget::update));
    Refresh();
}

EditMarks::~EditMarks() = default;

void EditMarks::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Refresh();
}

void EditMarks::Refresh() {
    marks_ = enabled_ ? marksOf_(edit_->text()) : std::vector<Mark>();
    overlay_->update();
    const QString description = Describe(description_, static_cast<int>(marks_.size()), QString());
    if (edit_->accessibleDescription() != description) {
        edit_->setAccessibleDescription(description);
    }
}

QRect EditMarks::AreaOf(const Mark& mark) const {
    // The edit lays its text out in one line of its font; the caret's place tells how far the
    // text is scrolled.
    QTextLayout layout(edit_->text(), edit_->font());
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QRect caret = edit_->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    // The caret's rectangle reaches 5 pixels left of the caret itself.
    const qreal origin = caret.x() + 5 - line.cursorToX(edit_->cursorPosition());
    const qreal left = origin + line.cursorToX(mark.Begin);
    const qreal right = origin + line.cursorToX(mark.End);
    const qreal baseline = caret.y() + line.ascent();
    return QRectF(QPointF(left, caret.y()), QPointF(right, baseline + 3.0)).toAlignedRect();
}

QString EditMarks::ToolTipAt(const QPoint& point) const {
    for (const Mark& mark : marks_) {
        if (AreaOf(mark).contains(point)) {
            return mark.ToolTip;
        }
    }
    return {};
}

void EditMarks::Paint(QPainter& painter) const {
    painter.setClipRect(edit_->contentsRect());
    for (const Mark& mark : marks_) {
        const QRect area = AreaOf(mark);
        Underline(painter, mark.What, area.left(), area.right() + 1, area.bottom());
    }
}

bool EditMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_) {
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QString tip = ToolTipAt(help->pos());
            if (!tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), tip, edit_);
                return true;
            }
        } else if (event->type() == QEvent::Resize) {
            overlay_->setGeometry(edit_->rect());
        }
    }
    return QObject::eventFilter(watched, event);
}

Marker::Marker(TFormBase* form) : QObject(form) {
    const auto inputs = [] {
        const zelk::Network& network = Base::Network;
        return network.LayerCount > 0 && !network.Layers.empty()
                   ? network.Layers.front().NeuronCount
                   : -1;
    };
    const auto outputs = [] {
        const zelk::Network& network = Base::Network;
        return network.LayerCount > 0 && !network.Layers.empty() ? network.Layers.back().NeuronCount
                                                                 : -1;
    };
    panes_ = {{form->MemoVstup, new PaneMarks(form->MemoVstup, Layer::Input, inputs)},
              {form->MemoUceni, new PaneMarks(form->MemoUceni, Layer::Input, inputs)},
              {form->MemoVysledek, new PaneMarks(form->MemoVysledek, Layer::Output, outputs)}};
    edits_ = {{form->EditNet, new EditMarks(form->EditNet, ShapeMarks)},
              {form->EditPocet, new EditMarks(form->EditPocet, CycleCountMarks)}};
}

void Marker::Refresh() {
    for (const auto& [pane, marks] : panes_) {
        marks->Refresh();
    }
}

void Marker::SetEnabled(bool enabled) {
    for (const auto& [pane, marks] : panes_) {
        marks->SetEnabled(enabled);
    }
    for (const auto& [edit, marks] : edits_) {
        marks->SetEnabled(enabled);
    }
}

PaneMarks* Marker::Of(const QPlainTextEdit* pane) const {
    for (const auto& [control, marks] : panes_) {
        if (control == pane) {
            return marks;
        }
    }
    return nullptr;
}

EditMarks* Marker::Of(const QLineEdit* edit) const {
    for (const auto& [control, marks] : edits_) {
        if (control == edit) {
            return marks;
        }
    }
    return nullptr;
}

}  // namespace InputMarks
