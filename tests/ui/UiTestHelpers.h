// Checks shared by the window tests: the tick labels a value axis draws, and controls whose text
// has less room than it needs. Including it gives the test program a settings folder of its own.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace orbench::testing {

// The windows keep their settings in the user's configuration folder; a test program uses a new
// empty one (removed at exit), so that no test sees what another or the user left there.
inline const bool SettingsIsolated = [] {
    static std::string Folder = (std::filesystem::temp_directory_path() / "orbench-ui-test-XXXXXX").string();
    if (mkdtemp(Folder.data()) == nullptr) return false;
    setenv("XDG_CONFIG_HOME", Folder.c_str(), 1);
    std::atexit([] {
        std::error_code Ignored;
        std::filesystem::remove_all(Folder, Ignored);
    });
    return true;
}();

// The labels the chart draws on a value axis with dynamic ticks, computed from the axis's own
// settings the way the chart lays them out; empty for fixed ticks.
inline QStringList TickLabels(const QValueAxis* Axis)
{
    QStringList Labels;
    if (Axis->tickType() != QValueAxis::TicksDynamic || !(Axis->tickInterval() > 0)) return Labels;
    const double Interval = Axis->tickInterval();
    const double Anchor = Axis->tickAnchor();
    for (double Value = Anchor - std::floor((Anchor - Axis->min()) / Interval) * Interval;
         Value <= Axis->max() && Labels.size() < 1000; Value += Interval)
        Labels << QString::asprintf(Axis->labelFormat().toLatin1().constData(), Value);
    return Labels;
}

// The visible labels, buttons, check boxes, line edits, list entries and grid cells (with their
// headers) under
// Top whose width or height is smaller than their text needs, each named with what it needs.
inline QStringList RoomProblems(QWidget* Top)
{
    QStringList Problems;
    auto Check = [&](const QString& What, int Have, int Need, int HaveHeight, int NeedHeight) {
        if (Have < Need || HaveHeight < NeedHeight)
            Problems
                << QString("%1: %2 x %3 for %4 x %5").arg(What).arg(Have).arg(HaveHeight).arg(Need).arg(NeedHeight);
    };
    for (QWidget* Widget : Top->findChildren<QWidget*>()) {
        if (!Widget->isVisibleTo(Top) || Widget->window() != Top->window()) continue;
        const QFontMetrics Metrics = Widget->fontMetrics();
        const QString Name = Widget->metaObject()->className() + QString(" ") + Widget->objectName();
        if (auto* Label = qobject_cast<QLabel*>(Widget);
            Label != nullptr && !Label->text().isEmpty() && Label->textFormat() != Qt::RichText && !Label->wordWrap()) {
            const QRect Need = Metrics.boundingRect(QRect(0, 0, 100000, 100000), Qt::TextExpandTabs, Label->text());
            Check(Name + " \"" + Label->text() + "\"", Label->contentsRect().width(), Need.width(),
                  Label->contentsRect().height(), Need.height());
        } else if (auto* Box = qobject_cast<QCheckBox*>(Widget)) {
            QStyleOptionButton Option;
            Option.initFrom(Box);
            Option.text = Box->text();
            const QRect Contents = Box->style()->subElementRect(QStyle::SE_CheckBoxContents, &Option, Box);
            Check(Name + " \"" + Box->text() + "\"", Box->width() - Contents.left(),
                  Metrics.horizontalAdvance(QString(Box->text()).remove('&')), Box->height(), Metrics.height());
        } else if (auto* Button = qobject_cast<QPushButton*>(Widget)) {
            Check(Name + " \"" + Button->text() + "\"", Button->width(),
                  Metrics.horizontalAdvance(QString(Button->text()).remove('&')) + 8, Button->height(),
                  Metrics.height());
        } else if (auto* Edit = qobject_cast<QLineEdit*>(Widget); Edit != nullptr && Edit->parentWidget() != nullptr &&
                                                                  !Edit->parentWidget()->inherits("QAbstractSpinBox") &&
                                                                  !Edit->parentWidget()->inherits("QComboBox")) {
            Check(Name + " \"" + Edit->text() + "\"", Edit->width(), Metrics.horizontalAdvance(Edit->text()) + 8,
                  Edit->height(), Metrics.height());
        } else if (auto* List = qobject_cast<QListWidget*>(Widget)) {
            // Entries are never cut (a long one scrolls), and check boxes do not touch.
            const int Indicator = List->style()->pixelMetric(QStyle::PM_IndicatorHeight);
            for (int Row = 0; Row < List->count(); ++Row) {
                const QListWidgetItem* Item = List->item(Row);
                const bool Checkable = Item->data(Qt::CheckStateRole).isValid();
                const QRect Box = List->visualItemRect(Item);
                const int Pitch =
                    Row == 0 ? Box.height() + 2 : Box.top() - List->visualItemRect(List->item(Row - 1)).top();
                Check(Name + " entry " + Item->text(), Box.width(),
                      Metrics.horizontalAdvance(Item->text()) + (Checkable ? Indicator + 4 : 0),
                      Checkable ? std::min(Box.height(), Pitch - 2) : Box.height(),
                      std::max(Metrics.height(), Checkable ? Indicator : 0));
            }
        } else if (auto* Grid = qobject_cast<QTableWidget*>(Widget)) {
            const QFontMetrics Cells(Grid->font());
            for (int Row = 0; Row < Grid->rowCount(); ++Row) {
                if (const QTableWidgetItem* Header = Grid->verticalHeaderItem(Row))
                    Check(Name + " row header " + Header->text(), Grid->verticalHeader()->width(),
                          Cells.horizontalAdvance(Header->text()) + 6, Grid->rowHeight(Row), Cells.height());
                for (int Column = 0; Column < Grid->columnCount(); ++Column)
                    if (const QTableWidgetItem* Cell = Grid->item(Row, Column))
                        Check(Name + " cell " + Cell->text(), Grid->columnWidth(Column),
                              Cells.horizontalAdvance(Cell->text()) + 6, Grid->rowHeight(Row), Cells.height());
            }
            for (int Column = 0; Column < Grid->columnCount(); ++Column)
                if (const QTableWidgetItem* Header = Grid->horizontalHeaderItem(Column))
                    Check(Name + " column header " + Header->text(), Grid->columnWidth(Column),
                          Cells.horizontalAdvance(Header->text()) + 6, Grid->horizontalHeader()->height(),
                          Cells.height());
            // Row numbers up to the grid's size have room even before they are written.
            Check(Name + " row number column", Grid->verticalHeader()->width(),
                  Cells.horizontalAdvance(QString::number(Grid->rowCount() - 1)) + 6, 1, 0);
        }
    }
    return Problems;
}

}  // namespace orbench::testing
