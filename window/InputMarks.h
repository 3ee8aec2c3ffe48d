#pragma once

// Marks under the parts of a typed text that the reading ignores or reads otherwise than typed:
// "0,5" reads as 0, "-1" in a pattern line as the values 0 and 1, "1e6" cycles as 1. The rule for
// each mark comes from the engine's own readers (ReadPatternFields, ReadShape, ReadCycleCount),
// which tell how far they read; nothing here reads a number on its own.
//
// The marks change no text, no reading and no undo step: they are drawn on an overlay over each
// pane and edit, which the mouse passes through. Only the lines on screen are
// examined, so a pane of a million lines costs no more than one of ten.

#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <vector>

class QLineEdit;
class QPainter;
class QPlainTextEdit;
class QWidget;
class TFormBase;

namespace InputMarks {

enum class Kind {
    Unread,   // characters after the number that the reading ignores: red wavy underline
    Empty,    // an empty value followed by another one, read as 0: red wavy underline
    Surplus,  // a value beyond the layer, or what follows the shape's list: grey dotted underline
    Missing,  // fewer values than the layer has: a small caret at the end of the line
};

// One mark on one line: UTF-16 positions [Begin, End) of the line; a Missing mark has Begin == End.
struct Mark {
    int Begin = 0;
    int End = 0;
    Kind What = Kind::Unread;
    QString ToolTip;
};

// The layer that a pane's lines feed: inputs for MemoVstup and MemoUceni, outputs for MemoVysledek.
enum class Layer { Input, Output };

// The marks of one pattern line for a layer of `layerSize` neurons; a negative size (no network)
// marks no surplus or missing values.
std::vector<Mark> PatternMarks(const QString& line, int layerSize, Layer layer);
// The marks of a shape text as BuildNetwork reads it.
std::vector<Mark> ShapeMarks(const QString& text);
// The marks of a cycle-count text as the training command reads it.
std::vector<Mark> CycleCountMarks(const QString& text);

// What the accessible description adds for `count` marked parts: "2 části se nečtou tak, jak jsou
// napsány"; empty for none.
QString PartsNotRead(int count);

// An overlay over a control, transparent to the mouse, that paints what its owner gives it.
class Overlay;

// The marks of one pane, for the lines on screen.
class PaneMarks final : public QObject {
public:
    PaneMarks(QPlainTextEdit* pane, Layer layer, std::function<int()> layerSize);
    ~PaneMarks() override;

    // Examines the lines on screen again and redraws their marks.
    void Refresh();
    // Off, the pane shows no marks and examines nothing.
    void SetEnabled(bool enabled);

    // A mark placed in the document: [Begin, End) are positions of the pane's document.
    struct Placed {
        int Begin = 0;
        int End = 0;
        Kind What = Kind::Unread;
        QString ToolTip;
    };
    const std::vector<Placed>& Marks() const { return marks_; }
    // The tooltip of the mark at a point of the viewport, or the empty text.
    QString ToolTipAt(const QPoint& point) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect AreaOf(const Placed& mark) const;
    void Paint(QPainter& painter) const;
    void Describe(int count, bool allShown);

    QPlainTextEdit* pane_;
    Layer layer_;
    std::function<int()> layerSize_;
    Overlay* overlay_;
    QWidget* viewport_;
    QString description_;  // the pane's own accessible description
    bool enabled_ = true;
    std::vector<Placed> marks_;
};

// The marks of a one-line edit.
class EditMarks final : public QObject {
public:
    EditMarks(QLineEdit* edit, std::function<std::vector<Mark>(const QString&)> marksOf);
    ~EditMarks() override;

    void Refresh();
    void SetEnabled(bool enabled);
    const std::vector<Mark>& Marks() const { return marks_; }
    QString ToolTipAt(const QPoint& point) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Where the mark lies in the edit: from its first character's left to its last one's right.
    QRect AreaOf(const Mark& mark) const;
    void Paint(QPainter& painter) const;

    QLineEdit* edit_;
    std::function<std::vector<Mark>(const QString&)> marksOf_;
    Overlay* overlay_;
    QString description_;
    bool enabled_ = true;
    std::vector<Mark> marks_;
};

// The marks of the window's three pattern panes and its shape and cycle-count edits.
class Marker final : public QObject {
public:
    explicit Marker(TFormBase* form);

    // After every command: a build or a load changes the layer sizes that the panes feed.
    void Refresh();
    // Shows or hides every mark; the benchmarks compare the panes' speed with and without them.
    void SetEnabled(bool enabled);

    PaneMarks* Of(const QPlainTextEdit* pane) const;
    EditMarks* Of(const QLineEdit* edit) const;

private:
    std::vector<std::pair<const QPlainTextEdit*, PaneMarks*>> panes_;
    std::vector<std::pair<const QLineEdit*, EditMarks*>> edits_;
};

}  // namespace InputMarks
