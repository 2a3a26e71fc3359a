// SPDX-License-Identifier: GPL-3.0-or-later
#include "folderbrowser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The folder holding path, as the model names it: "" (the model's own
// top, whose one child is "/") for the top of the file system.
QString parentPath(const QString &path)
{
    return path == QLatin1String("/") ? QString() : QFileInfo(path).path();
}

// Hides the root's siblings, so the root is the tree's one top item.
class RootOnlyFilter : public QSortFilterProxyModel {
public:
    RootOnlyFilter(const QString &root, QObject *parent)
        : QSortFilterProxyModel(parent), root_(root), rootParent_(parentPath(root))
    {
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &sourceParent) const override
    {
        auto *fs = static_cast<QFileSystemModel *>(sourceModel());
        if (fs->filePath(sourceParent) != rootParent_)
            return true;
        return fs->filePath(fs->index(row, 0, sourceParent)) == root_;
    }

private:
    QString root_;
    QString rootParent_;
};

}  // namespace

FolderBrowserDialog::FolderBrowserDialog(const QString &rootPath, const QString &title, bool statusLine,
                                         bool onlyExistingFolders, QWidget *parent)
    : QDialog(parent), root_(QDir::cleanPath(rootPath)), onlyExistingFolders_(onlyExistingFolders)
{
    setObjectName(QStringLiteral("FolderBrowserDialog"));
    setWindowTitle(QStringLiteral("フォルダの参照"));

    auto *titleText = new QLabel(this);
    titleText->setObjectName(QStringLiteral("titleText"));
    titleText->setTextFormat(Qt::PlainText);
    titleText->setText(title);
    titleText->setWordWrap(true);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusText"));
    status_->setTextFormat(Qt::PlainText);  // a folder's name, whoever made it
    status_->setVisible(statusLine);

    // Hidden folders too: every folder of the file system can be reached.
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    model_->setRootPath(root_);
    filter_ = new RootOnlyFilter(root_, this);
    filter_->setSourceModel(model_);

    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->setModel(filter_);
    tree_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setRootIndex(filter_->mapFromSource(model_->index(parentPath(root_))));
    tree_->expand(filter_->mapFromSource(model_->index(root_)));

    auto *buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    ok_->setEnabled(false);  // nothing selected yet
    QPushButton *cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FolderBrowserDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FolderBrowserDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(titleText);
    layout->addWidget(status_);
    layout->addWidget(tree_, 1);
    layout->addWidget(buttons);
    // Its final size now, so that placing it before it shows holds.
    resize(QSize(320, 360).expandedTo(minimumSizeHint()));

    // The folders around a selection made here fill in and sort later, which
    // moves it; keep it in view until the user moves the tree.
    auto follow = [this] {
        if (following_)
            tree_->scrollTo(tree_->currentIndex());
    };
    connect(filter_, &QAbstractItemModel::rowsInserted, this, follow);
    connect(filter_, &QAbstractItemModel::layoutChanged, this, follow);
    auto stop = [this] { following_ = false; };
    connect(tree_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, stop);
    connect(tree_, &QTreeView::pressed, this, stop);
    connect(tree_, &QTreeView::expanded, this, stop);
    connect(tree_, &QTreeView::collapsed, this, stop);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        ok_->setEnabled(ownOkChoice());
        emit selectionChanged(fileSystemPath());
    });
}

bool FolderBrowserDialog::selectPath(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    const QString below = root_ == QLatin1String("/") ? root_ : root_ + QLatin1Char('/');
    if (clean != root_ && !clean.startsWith(below))
        return false;
    const QModelIndex index = filter_->mapFromSource(model_->index(clean));
    if (!index.isValid())
        return false;
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);  // expands the folders above it
    following_ = true;
    return true;
}

QString FolderBrowserDialog::currentPath() const
{
    const QModelIndex index = tree_->currentIndex();
    return index.isValid() ? model_->filePath(filter_->mapToSource(index)) : QString();
}

QString FolderBrowserDialog::fileSystemPath() const
{
    const QString path = currentPath();
    return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

QString FolderBrowserDialog::displayName() const
{
    const QModelIndex index = tree_->currentIndex();
    return index.isValid() ? model_->fileName(filter_->mapToSource(index)) : QString();
}

void FolderBrowserDialog::setStatusText(const QString &text)
{
    status_->setText(text);
}

void FolderBrowserDialog::setOkEnabled(bool enabled)
{
    ok_->setEnabled(enabled);
}

bool FolderBrowserDialog::ownOkChoice() const
{
    if (!tree_->currentIndex().isValid())
        return false;
    return !onlyExistingFolders_ || !fileSystemPath().isEmpty();
}

void FolderBrowserDialog::accept()
{
    if (!ok_->isEnabled())
        return;
    // A folder removed since it was selected is no longer one to confirm.
    if (!ownOkChoice()) {
        ok_->setEnabled(false);
        return;
    }
    QDialog::accept();
}
