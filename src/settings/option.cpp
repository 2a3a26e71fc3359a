// SPDX-License-Identifier: GPL-3.0-or-later
#include "option.h"

#include "core/formfont.h"
#include "core/errors.h"
#include "core/programdir.h"
#include "config.h"
#include "shbffex.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

int tagOf(const QCheckBox *box)
{
    return box->property("Tag").toInt();
}

void setTagFromTick(QCheckBox *box)
{
    box->setProperty("Tag", box->isChecked() ? 1 : 0);
}

// The edit's background in one of the palette's colours.
void setBackground(QLineEdit *edit, QPalette::ColorRole role)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Active, role));
    edit->setPalette(palette);
}

}  // namespace

Tfrm_Option::Tfrm_Option(const QString &programDir, std::function<void(bool)> geckoAvailable)
    : QWidget(nullptr, Qt::Tool), mainProgramDir_(programDir), geckoAvailable_(std::move(geckoAvailable))
{
    setObjectName(QStringLiteral("frm_Option"));
    setWindowTitle(QStringLiteral("オプション"));
    setFont(formFont(12));
    move(250, 174);
    resize(463, 178);

    auto named = [](auto *widget, const char *name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };

    selectFolder = named(new TSHBrowseForFolderEx(this), "selectFolder");
    selectFolder->Caption = QStringLiteral("Mozillaのあるフォルダを選択してください。");

    TreeView1 = named(new QTreeWidget(this), "TreeView1");
    TreeView1->setGeometry(8, 8, 113, 105);
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->addTopLevelItems({new QTreeWidgetItem({QStringLiteral("全般")}),
                                 new QTreeWidgetItem({QStringLiteral("ウィンドウ")})});

    Button1 = named(new QPushButton(QStringLiteral("OK"), this), "Button1");
    Button1->setGeometry(312, 122, 65, 23);
    Button2 = named(new QPushButton(QStringLiteral("Cancel"), this), "Button2");
    Button2->setGeometry(390, 122, 59, 23);

    Panel1 = named(new QFrame(this), "Panel1");
    Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel1->setGeometry(136, 8, 305, 105);

    PageCTL = named(new QTabWidget(Panel1), "PageCTL");
    PageCTL->setDocumentMode(true);  // flat: no frame around the pages
    PageCTL->setGeometry(4, 4, 289, 93);

    TabSheet1 = named(new QWidget, "TabSheet1");
    PageCTL->addTab(TabSheet1, QStringLiteral("TabSheet1"));
    txtMozPath = named(new QLineEdit(TabSheet1), "txtMozPath");
    txtMozPath->setGeometry(8, 23, 249, 20);
    chkMoz = named(new QCheckBox(QStringLiteral("Geckoを使用する"), TabSheet1), "chkMoz");
    chkMoz->setGeometry(0, 2, 129, 17);
    BitBtn1 = named(new QPushButton(TabSheet1), "BitBtn1");
    BitBtn1->setGeometry(256, 23, 20, 18);
    BitBtn1->setIcon(QIcon(QStringLiteral(":/icons/main11.png")));
    BitBtn1->setIconSize(QSize(16, 15));

    TabSheet2 = named(new QWidget, "TabSheet2");
    PageCTL->addTab(TabSheet2, QStringLiteral("TabSheet2"));
    Label1 = named(new QLabel(QStringLiteral("自動的に新規ウインドウで開く"), TabSheet2), "Label1");
    Label1->move(0, 0);
    Label1->adjustSize();
    chkWin1 = named(new QCheckBox(QStringLiteral("ブックマーク"), TabSheet2), "chkWin1");
    chkWin1->setGeometry(32, 24, 97, 17);
    chkWin2 = named(new QCheckBox(QStringLiteral("アドレスバー"), TabSheet2), "chkWin2");
    chkWin2->setGeometry(32, 48, 81, 17);

    // The places suit a narrow Japanese font; with a wider stand-in a
    // caption would be cut, so a box grows to its caption instead.
    for (QCheckBox *box : {chkMoz, chkWin1, chkWin2})
        box->resize(qMax(box->width(), box->sizeHint().width()), box->height());

    // A plain tool window, not a QDialog: Enter and Esc press no button.
    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            guarded([this](QTreeWidgetItem *current, QTreeWidgetItem *) { TreeView1Change(current); }));
    connect(chkMoz, &QCheckBox::toggled, this, guarded([this](bool) { chkMozClick(); }));
    connect(chkWin1, &QCheckBox::toggled, this, guarded([this](bool) { chkWin1Click(); }));
    connect(chkWin2, &QCheckBox::toggled, this, guarded([this](bool) { chkWin2Click(); }));
    connect(BitBtn1, &QPushButton::clicked, this, guarded([this](bool) { BitBtn1Click(); }));
    connect(Button1, &QPushButton::clicked, this, guarded([this](bool) { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, guarded([this](bool) { Button2Click(); }));

    runGuarded([this] { FormCreate(); });
}

void Tfrm_Option::FormCreate()
{
    ProgramDir = mainProgramDir_;
    ReadIni();
    for (int i = 1; i <= 2; ++i)
        if (auto *sheet = findChild<QWidget *>(QStringLiteral("TabSheet%1").arg(i)))
            PageCTL->tabBar()->setTabVisible(PageCTL->indexOf(sheet), false);
    TreeView1->setCurrentItem(TreeView1->topLevelItem(0));
}

void Tfrm_Option::ReadIni()
{
    // Each click handler runs even when the tick did not change, so values,
    // the edit and the main window's menu item follow the file from the start.
    const QString ini = configPath(ProgramDir);
    chkMoz->setChecked(config::mozilla(ini) != 0);
    chkMozClick();
    txtMozPath->setText(config::mozPath(ini));
    chkWin1->setChecked(config::bookmarkWindow(ini) != 0);
    chkWin1Click();
    chkWin2->setChecked(config::addressBarWindow(ini) != 0);
    chkWin2Click();
}

void Tfrm_Option::TreeView1Change(QTreeWidgetItem *Node)
{
    if (!Node)
        return;
    if (Node->text(0) == QStringLiteral("全般"))
        PageCTL->setCurrentWidget(TabSheet1);
    else if (Node->text(0) == QStringLiteral("ウィンドウ"))
        PageCTL->setCurrentWidget(TabSheet2);
}

void Tfrm_Option::chkMozClick()
{
    // The edit's background: the palette's text-on-highlight colour while
    // usable, its window colour while not.
    const bool on = chkMoz->isChecked();
    setTagFromTick(chkMoz);
    txtMozPath->setEnabled(on);
    setBackground(txtMozPath, on ? QPalette::HighlightedText : QPalette::Window);
    BitBtn1->setEnabled(on);
    if (geckoAvailable_)
        geckoAvailable_(on);
}

void Tfrm_Option::chkWin1Click()
{
    setTagFromTick(chkWin1);
}

void Tfrm_Option::chkWin2Click()
{
    setTagFromTick(chkWin2);
}

void Tfrm_Option::BitBtn1Click()
{
    if (selectFolder->Execute())
        txtMozPath->setText(selectFolder->FolderName());
}

void Tfrm_Option::Button1Click()
{
    // In this order; a refused write stops here with the earlier keys written.
    const QString ini = configPath(mainProgramDir_);
    config::writeMozPath(ini, txtMozPath->text());
    config::writeMozilla(ini, tagOf(chkMoz));
    config::writeBookmarkWindow(ini, tagOf(chkWin1));
    config::writeAddressBarWindow(ini, tagOf(chkWin2));
    close();
}

void Tfrm_Option::Button2Click()
{
    close();
}
