#include "base/langstrings.h"
#include "base/localeinfo.h"
#include "groups/analysis.h"
#include "ui/groupeditors.h"

#include "uitest.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

using namespace kv6;

class PrinterEditor : public kv6test::UiTest
{
};

TEST_F(PrinterEditor, CostBoxesTakeOnlyDigitsAndTheDecimalSeparator)
{
    frmEditPrinters editor;
    auto *bw = editor.findChild<QLineEdit *>(QStringLiteral("txtEstBW"));
    editor.show();
    QTest::keyClicks(bw, QStringLiteral("1a-2") + DecimalSeparator() + QStringLiteral("5x"));
    EXPECT_EQ(bw->text(), QStringLiteral("12") + DecimalSeparator() + QStringLiteral("5"));
    QTest::keyClick(bw, Qt::Key_Backspace);
    EXPECT_EQ(bw->text(), QStringLiteral("12") + DecimalSeparator());
}

TEST_F(PrinterEditor, AppliesToTheSelectedPrintersOnlyWhatWasDecided)
{
    auto w = open();
    QTreeView *grid = w->printerGrid();
    const QStringList keys = members(grid, QStringLiteral("*GROUP*1"));
    const auto cells = [&](const QString &key) {
        const QModelIndex r = row(grid, key);
        return QStringLiteral("%1|%2|%3")
            .arg(r.data(Qt::CheckStateRole).toInt() == Qt::Checked ? 1 : 0)
            .arg(r.siblingAtColumn(4).data().toString(), r.siblingAtColumn(5).data().toString());
    };
    const QString untouched = cells(keys.at(0));
    const QString third = cells(keys.at(2));
    select(grid, keys.mid(0, 2));

    // Both boxes empty and the box undecided change nothing.
    whenModal<frmEditPrinters>([](frmEditPrinters *d) { d->accept(); });
    w->RunCommand(QStringLiteral("ID_EditPrinters"));
    EXPECT_EQ(cells(keys.at(0)), untouched);

    // Pasted letters are refused with the box's own message, and the dialog stays.
    dialogs.messageAnswers = { MsgAnswer::OK, MsgAnswer::OK };
    whenModal<frmEditPrinters>([](frmEditPrinters *d) {
        d->findChild<QLineEdit *>(QStringLiteral("txtEstBW"))->setText(QStringLiteral("ab"));
        d->accept();
        EXPECT_TRUE(d->isVisible());
        d->findChild<QLineEdit *>(QStringLiteral("txtEstBW"))->setText(QStringLiteral("0.03"));
        d->findChild<QLineEdit *>(QStringLiteral("txtEstColor"))->setText(QStringLiteral("x"));
        d->accept();
        d->findChild<QLineEdit *>(QStringLiteral("txtEstColor"))->clear();
        d->findChild<QCheckBox *>(QStringLiteral("chkInclude"))->setCheckState(Qt::Unchecked);
        d->accept();
    });
    w->RunCommand(QStringLiteral("ID_EditPrinters"));
    EXPECT_EQ(takeMessages(), QStringList({ GetLangString(7), GetLangString(8) }));
    const QString colour = row(grid, keys.at(0)).siblingAtColumn(5).data().toString();
    const QString expected = QStringLiteral("0|%1|%2").arg(
        QLocale::system().toCurrencyString(0.03, QString(), 2), colour);
    EXPECT_EQ(cells(keys.at(0)), expected);
    EXPECT_EQ(cells(keys.at(1)).section(QLatin1Char('|'), 0, 1),
        expected.section(QLatin1Char('|'), 0, 1));
    EXPECT_EQ(cells(keys.at(2)), third) << "not selected";
    EXPECT_TRUE(w->analysis()->GroupsDirty());
}
