#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <string>
#include <vector>

#include "WindowFixture.h"
#include "window/InputMarks.h"

using InputMarks::Kind;
using InputMarks::Layer;
using InputMarks::Mark;
using zelktest::Lines;

namespace {

// A mark as the tests write it: the marked characters of the line, its kind and its tooltip.
struct Seen {
    QString Text;
    Kind What;
    QString ToolTip;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> SeenIn(const QString& line, const std::vector<Mark>& marks) {
    std::vector<Seen> seen;
    for (const Mark& mark : marks) {
        seen.push_back({line.mid(mark.Begin, mark.End - mark.Begin), mark.What, mark.ToolTip});
    }
    return seen;
}

std::vector<Seen> Pattern(const QString& line, int size, Layer layer = Layer::Input) {
    return SeenIn(line, InputMarks::PatternMarks(line, size, layer));
}

void PrintTo(const Seen& seen, std::ostream* out) {
    *out << "{\"" << seen.Text.toStdString() << "\", " << static_cast<int>(seen.What) << ", \""
         << seen.ToolTip.toStdString() << "\"}";
}

}  // namespace

TEST(PatternMarks, LinesThatReadAsTypedHaveNone) {
    for (const char* line : {"0-1", "0.5-0.25", " 0.5 - 1 ", "\"-1\"-1", "1e2-0", "1-0-"}) {
        EXPECT_EQ(Pattern(QString::fromUtf8(line), 2), std::vector<Seen>{}) << line;
    }
    // Without a network nothing is surplus or missing.
    EXPECT_EQ(Pattern("1-2-3", -1), std::vector<Seen>{});
}

TEST(PatternMarks, MarkWhatTheReadingIgnores) {
    EXPECT_EQ(Pattern("0,5-1", 2),
              (std::vector<Seen>{{",5", Kind::Unread,
                                  "Čte se jako 0: desetinná čárka. Pište desetinnou tečku: 0.5"}}));
    EXPECT_EQ(Pattern("-1", 2),
              (std::vector<Seen>{{"-", Kind::Empty,
                                  "Prázdná hodnota se čte jako 0: pomlčka odděluje hodnoty. "
                                  "Záporné číslo pište v uvozovkách: \"-1\""}}));
    EXPECT_EQ(Pattern("\"-1\"-1-1", 2),
              (std::vector<Seen>{
                  {"-1", Kind::Surplus, "Nadbytečná hodnota: vstupní vrstva má 2 neurony"}}));
    EXPECT_EQ(Pattern("1", 2),
              (std::vector<Seen>{{"", Kind::Missing, "Chybí 1 hodnota: čte se jako 0"}}));
    EXPECT_EQ(
        Pattern("abc-1e", 2),
        (std::vector<Seen>{{"abc", Kind::Unread, "Čte se jako 0: „abc“ není číslo"},
                           {"e", Kind::Unread, "Čte se jako 1: exponent bez číslic se nečte"}}));
    EXPECT_EQ(Pattern("1e-2", 2),
              (std::vector<Seen>{{"e", Kind::Unread,
                                  "Čte se jako 1: exponent bez číslic. Záporný exponent pište v "
                                  "uvozovkách: \"1e-2\""}}));
    EXPECT_EQ(
        Pattern("1 0", 1),
        (std::vector<Seen>{{"0", Kind::Unread,
                            "Čte se jako 1: mezera ukončí číslo. Hodnoty oddělujte pomlčkou"}}));
    EXPECT_EQ(Pattern("0-0-7", 1, Layer::Output),
              (std::vector<Seen>{
                  {"-0", Kind::Surplus, "Nadbytečná hodnota: výstupní vrstva má 1 neuron"},
                  {"-7", Kind::Surplus, "Nadbytečná hodnota: výstupní vrstva má 1 neuron"}}));
}

TEST(PatternMarks, PositionsAreCharactersNotBytes) {
    // "č" is two bytes in the engine's text and one character on screen.
    EXPECT_EQ(InputMarks::PatternMarks(QStringLiteral("1č-2"), 2, Layer::Input).front().Begin, 1);
    EXPECT_EQ(Pattern(QStringLiteral("1č-2"), 2).front().Text, QStringLiteral("č"));
    // A character beyond the first plane is two UTF-16 units.
    const QString wide = QString::fromUtf8("\xF0\x9F\x98\x80-0,5");
    EXPECT_EQ(Pattern(wide, 2).back().Text, QStringLiteral(",5"));
}

TEST(PatternMarks, CountsInCzech) {
    EXPECT_EQ(Pattern("", 2).front().ToolTip, "Chybí 2 hodnoty: čtou se jako 0");
    EXPECT_EQ(Pattern("", 5).front().ToolTip, "Chybí 5 hodnot: čtou se jako 0");
    EXPECT_EQ(Pattern("1-1", 0).front().ToolTip, "Nadbytečná hodnota: vstupní vrstva má 0 neuronů");
    EXPECT_EQ(Pattern("1-1-1-1-1-1", 5).front().ToolTip,
              "Nadbytečná hodnota: vstupní vrstva má 5 neuronů");
    EXPECT_EQ(InputMarks::PartsNotRead(0), "");
    EXPECT_EQ(InputMarks::PartsNotRead(1), "1 část se nečte tak, jak je napsána");
    EXPECT_EQ(InputMarks::PartsNotRead(2), "2 části se nečtou tak, jak jsou napsány");
    EXPECT_EQ(InputMarks::PartsNotRead(5), "5 částí se nečte tak, jak jsou napsány");
}

TEST(ShapeMarks, MarkWhatTheBuildIgnores) {
    EXPECT_EQ(SeenIn("2-3-1", InputMarks::ShapeMarks("2-3-1")), std::vector<Seen>{});
    EXPECT_EQ(SeenIn("2,3-1", InputMarks::ShapeMarks("2,3-1")),
              (std::vector<Seen>{{",3", Kind::Unread,
                                  "Čte se jako 2: čárka vrstvy neodděluje. Vrstvy oddělujte "
                                  "pomlčkou: 2-3"}}));
    EXPECT_EQ(SeenIn("2--3", InputMarks::ShapeMarks("2--3")),
              (std::vector<Seen>{{"--3", Kind::Surplus,
                                  "Nečte se: prázdná hodnota ukončí seznam vrstev, síť má 1 "
                                  "vrstvu"}}));
    EXPECT_EQ(SeenIn("a-1", InputMarks::ShapeMarks("a-1")),
              (std::vector<Seen>{{"a", Kind::Unread,
                                  "Čte se jako 0: „a“ není počet neuronů, vrstva nemá žádný "
                                  "neuron"}}));
    EXPECT_EQ(SeenIn("2.5-1", InputMarks::ShapeMarks("2.5-1")).front().ToolTip,
              "Čte se jako 2: počet neuronů je celé číslo, „.5“ se nečte");
}

TEST(CycleCountMarks, MarkWhatFollowsTheCount) {
    EXPECT_EQ(SeenIn("1000", InputMarks::CycleCountMarks("1000")), std::vector<Seen>{});
    EXPECT_EQ(SeenIn("1e6", InputMarks::CycleCountMarks("1e6")),
              (std::vector<Seen>{{"e6", Kind::Unread,
                                  "Čte se jako 1: počet cyklů se píše bez exponentu. Pište "
                                  "1000000"}}));
    EXPECT_EQ(SeenIn("10 000", InputMarks::CycleCountMarks("10 000")),
              (std::vector<Seen>{{"000", Kind::Unread,
                                  "Čte se jako 10: mezera ukončí číslo. Pište bez mezer: 10000"}}));
    EXPECT_EQ(SeenIn("x", InputMarks::CycleCountMarks("x")),
              (std::vector<Seen>{{"x", Kind::Unread, "Čte se jako 0: „x“ není počet cyklů"}}));
    // A refused count gets the command's own message, not a mark.
    EXPECT_EQ(SeenIn("-5x", InputMarks::CycleCountMarks("-5x")), std::vector<Seen>{});
}

namespace {

class Marks : public zelktest::WindowTest {
protected:
    // The marked characters of a pane, from its document.
    std::vector<QString> Marked(QPlainTextEdit* pane) {
        std::vector<QString> marked;
        const QString text = pane->document()->toRawText();
        for (const auto& mark : form.Marks->Of(pane)->Marks()) {
            marked.push_back(text.mid(mark.Begin, mark.End - mark.Begin));
        }
        return marked;
    }
};

}  // namespace

TEST_F(Marks, TypingMarksTheVisibleLinesAndChangesNothing) {
    form.MemoVstup->clear();
    form.MemoVstup->setFocus();
    for (const char* line : {"0,5-1", "-1", "\"-1\"-1-1"}) {
        QTest::keyClicks(form.MemoVstup, line);
        QTest::keyClick(form.MemoVstup, Qt::Key_Return);
    }
    QTest::keyClicks(form.MemoVstup, "1");
    const QString typed = form.MemoVstup->toPlainText();
    const int undoSteps = form.MemoVstup->document()->availableUndoSteps();
    EXPECT_EQ(Marked(form.MemoVstup), (std::vector<QString>{",5", "-", "-1", ""}));
    EXPECT_EQ(form.MemoVstup->accessibleDescription(),
              "Vstupní hodnoty sítě. 4 části se nečtou tak, jak jsou napsány");

    // Marking again, as every command does, changes no character and adds no undo step.
    form.Marks->Refresh();
    EXPECT_EQ(form.MemoVstup->toPlainText(), typed);
    EXPECT_EQ(form.MemoVstup->document()->availableUndoSteps(), undoSteps);

    // A network of one input makes "0,5-1" surplus too; nothing changes in the outputs' reading.
    Build("1-1");
    EXPECT_EQ(Marked(form.MemoVstup), (std::vector<QString>{",5", "-1", "-", "-1", "-1", "-1"}));
    EXPECT_EQ(form.MemoVstup->toPlainText(), typed);
}

TEST_F(Marks, TooltipOverAMarkSaysWhatWasRead) {
    Base::SetPaneLines(form.MemoVstup, {"0,5-1"});
    const auto& mark = form.Marks->Of(form.MemoVstup)->Marks().front();
    QTextCursor cursor(form.MemoVstup->document());
    cursor.setPosition(mark.Begin + 1);
    const QPoint over = form.MemoVstup->cursorRect(cursor).center();
    EXPECT_EQ(form.Marks->Of(form.MemoVstup)->ToolTipAt(over),
              "Čte se jako 0: desetinná čárka. Pište desetinnou tečku: 0.5");
    // As the mouse rests on it, the tooltip shows.
    QWidget* viewport = form.MemoVstup->viewport();
    QHelpEvent help(QEvent::ToolTip, over, viewport->mapToGlobal(over));
    QCoreApplication::sendEvent(viewport, &help);
    EXPECT_EQ(QToolTip::text(), "Čte se jako 0: desetinná čárka. Pište desetinnou tečku: 0.5");
    QToolTip::hideText();
    // Elsewhere the pane keeps its own tooltip.
    EXPECT_EQ(form.Marks->Of(form.MemoVstup)->ToolTipAt(QPoint(200, 200)), "");
    EXPECT_EQ(form.MemoVstup->toolTip(), "Vstupní hodnoty sítě");
}

TEST_F(Marks, EditsAreMarked) {
    form.EditPocet->setText("1e6");
    EXPECT_EQ(form.Marks->Of(form.EditPocet)->Marks().size(), 1u);
    EXPECT_EQ(form.EditPocet->accessibleDescription(),
              "Počet cyklů sady vzorků. 1 část se nečte tak, jak je napsána");
    form.EditNet->setText("2,3-1");
    ASSERT_EQ(form.Marks->Of(form.EditNet)->Marks().size(), 1u);
    const Mark& mark = form.Marks->Of(form.EditNet)->Marks().front();
    EXPECT_EQ(form.EditNet->text().mid(mark.Begin, mark.End - mark.Begin), ",3");
    form.EditNet->setText("2-3-1");
    EXPECT_TRUE(form.Marks->Of(form.EditNet)->Marks().empty());
    EXPECT_EQ(form.EditNet->accessibleDescription(),
              "Počty neuronů vrstev od vstupní po výstupní, spojené pomlčkou");
}

TEST_F(Marks, ALongPaneCountsTheLinesOnScreen) {
    // Only the lines on screen are examined: a pane of 1000 short lines says so.
    Base::SetPaneLines(form.MemoVstup, Lines(1000, "1"));
    const auto& marks = form.Marks->Of(form.MemoVstup)->Marks();
    EXPECT_GT(marks.size(), 5u);
    EXPECT_LT(marks.size(), 100u);
    EXPECT_TRUE(form.MemoVstup->accessibleDescription().startsWith(
        "Vstupní hodnoty sítě. Na zobrazených řádcích: "));
    // Scrolled to the end, the last lines are the ones marked.
    form.MemoVstup->moveCursor(QTextCursor::End);
    QCoreApplication::processEvents();
    EXPECT_EQ(marks.back().Begin, form.MemoVstup->document()->characterCount() - 1);
}
