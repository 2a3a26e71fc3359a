// SPDX-License-Identifier: GPL-3.0-or-later
#include "browserwindow.h"

#include "contentblocking.h"
#include "core/errors.h"
#include "core/plaintext.h"
#include "enginecontrol.h"
#include "pageprinter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The page with the notice bar over it. It asks for the size its control
// asks for, read afresh each time (a Gecko control asks for the size it
// has, so cascading leaves the window as it is), and the bar's when shown.
class PageArea : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override
    {
        QSize hint = control->sizeHint();
        if (!bar->isHidden())
            hint.rheight() += bar->sizeHint().height();
        return hint;
    }
    QWidget *control = nullptr;
    QWidget *bar = nullptr;
};

}  // namespace

TBrowserWindow::TBrowserWindow(const QString &classId, const QString &name, const WindowState &frameShows,
                               bool privateWindow)
    : QMdiSubWindow(nullptr), frameShows_(frameShows), private_(privateWindow)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    // The frame's Ctrl+W / Ctrl+F4 close the active window wherever the
    // focus is; the same keys on the window's own menu would make both
    // ambiguous, and neither would act.
    if (QMenu *menu = systemMenu())
        for (QAction *action : menu->actions())
            if (action->shortcuts().contains(QKeySequence(QKeySequence::Close)))
                action->setShortcuts({});
    // The control is made first; a class that cannot be created leaves no
    // window behind (the caller deletes this half-made one).
    control_ = engines::create(classId, this, private_);
    control_->setObjectName(name == QLatin1String("frm_IE") ? QStringLiteral("TWeb_IE")
                                                             : QStringLiteral("TWeb_MZ"));
    // Above the page, a notice while the page does not answer.
    auto *client = new PageArea(this);
    auto *column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    HungBar = new QFrame(client);
    HungBar->setObjectName(QStringLiteral("HungBar"));
    HungBar->setFrameShape(QFrame::StyledPanel);
    HungBar->setAutoFillBackground(true);
    auto *row = new QHBoxLayout(HungBar);
    row->setContentsMargins(6, 2, 6, 2);
    auto *label = new QLabel(QStringLiteral("このページは応答していません"), HungBar);
    label->setObjectName(QStringLiteral("lblHung"));
    row->addWidget(label, 1);
    btnStopPage = new QPushButton(QStringLiteral("ページを停止"), HungBar);
    btnStopPage->setObjectName(QStringLiteral("btnStopPage"));
    btnStopPage->setFocusPolicy(Qt::NoFocus);
    row->addWidget(btnStopPage);
    HungBar->hide();
    column->addWidget(HungBar);
    column->addWidget(control_, 1);
    client->control = control_;
    client->bar = HungBar;
    setWidget(client);
    // Activating the window gives the page the focus, as before the bar.
    client->setFocusPolicy(Qt::StrongFocus);
    client->setFocusProxy(control_);
    if (private_) {
        // A dark violet title bar and frame tell a private window at a
        // glance; the page area keeps the program's colours.
        QPalette marked = palette();
        marked.setColor(QPalette::Highlight, QColor(0x4b, 0x1d, 0x6e));
        marked.setColor(QPalette::HighlightedText, Qt::white);
        marked.setColor(QPalette::Window, QColor(0x8a, 0x6b, 0xa8));
        marked.setColor(QPalette::WindowText, Qt::white);
        setPalette(marked);
        QPalette plain = QApplication::palette(client);
        plain.setResolveMask(~QPalette::ResolveMask(0));  // every role its own, none of the frame's
        client->setPalette(plain);
        client->setAutoFillBackground(true);
        setWindowTitle(QString());
    }
    // The content filters load in the background once a window is there.
    QTimer::singleShot(0, &ContentBlocking::instance(), &ContentBlocking::load);
    // A load that ends with its page shown is a visit; a failed one is none.
    // Reading the address may throw, as every engine operation may.
    connect(control_, &EngineControl::TitleChange, this, guarded([this](const QString &title) {
        pageTitle_ = title;
        if (!visitedAddress_.isEmpty() && control_->LocationURL() == visitedAddress_)
            emit retitled(visitedAddress_, title);
    }));
    connect(control_, &EngineControl::LoadFinished, this, guarded([this](bool ok) {
        ContentBlocking::instance().pageLoaded();
        visitedAddress_ = ok ? control_->LocationURL() : QString();
        if (!visitedAddress_.isEmpty())
            emit visited(visitedAddress_, pageTitle_);
    }));
    connect(control_, &EngineControl::PageResponsiveChange, this, [this](bool responsive) {
        pageAnswers_ = responsive;
        HungBar->setVisible(!responsive && hangWatchHeld_ == 0);
    });
    // Queued: an engine may wait for the signal's return before the page
    // can be laid out for print.
    connect(control_, &EngineControl::PrintRequested, this,
            guarded([this] { pageprinter::printPage(control_, this); }), Qt::QueuedConnection);
    // Ends the page's process: the crash notice follows, and Reload
    // brings the page back.
    connect(btnStopPage, &QPushButton::clicked, this, guarded([this](bool) {
        HungBar->hide();
        control_->TerminatePage();
    }));
    // An engine made in the background that fails after all: reported as
    // one that could not be made, and its window goes.
    connect(control_, &EngineControl::EngineFailed, this, guarded([this](const QString &message) {
        closeAgreed_ = true;
        close();
        throw VexelError(message);
    }));
    // What a browser window does beyond the frame's commands. A message is
    // shown, but it is no link's address: LastStatusText keeps the last one.
    connect(control_, &EngineControl::StatusMessage, this, [this](const QString &text) {
        shownStatus_ = text;
        publish(WindowState::Status);
    });
    connect(control_, &EngineControl::CloseRequested, this, [this] {
        closeAgreed_ = true;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    connect(control_, &EngineControl::FindRequested, this, &TBrowserWindow::findRequested);
    connect(control_, &EngineControl::ZoomRequested, this, guarded([this](int step) {
        control_->SetZoomFactor(engines::nextZoom(control_->ZoomFactor(), step));
    }));
    connect(control_, &EngineControl::OtherEngineRequested, this, &TBrowserWindow::otherEngineRequested);
}

TBrowserWindow::~TBrowserWindow() = default;

QString TBrowserWindow::pageCaption() const
{
    QString caption = private_ ? windowTitle().chopped(PrivateSuffix.size()) : windowTitle();
    if (linked_ && caption.startsWith(LinkedMark))
        caption.remove(0, LinkedMark.size());
    return caption;
}

void TBrowserWindow::setLinked(bool on)
{
    if (on == linked_)
        return;
    const QString caption = pageCaption();
    linked_ = on;
    const QScopedValueRollback marking(marking_, true);
    setWindowTitle((linked_ ? LinkedMark : QString()) + caption + (private_ ? PrivateSuffix : QString()));
}

bool TBrowserWindow::event(QEvent *event)
{
    // Whoever sets the caption (the page's title, the frame), a private
    // window's ends in its mark, and a linked one's begins with its own.
    if (event->type() == QEvent::WindowTitleChange && (private_ || linked_) && !marking_) {
        const QScopedValueRollback marking(marking_, true);
        setWindowTitle((linked_ ? LinkedMark : QString()) + windowTitle() + (private_ ? PrivateSuffix : QString()));
    }
    // The caption is the page's title. Qt shows a caption too long for its
    // bar as a tooltip and would read it as markup: shown here as it stands.
    if (event->type() == QEvent::ToolTip && !isMaximized()) {
        auto *help = static_cast<QHelpEvent *>(event);
        QStyleOptionTitleBar bar;
        bar.initFrom(this);
        bar.text = windowTitle();
        bar.icon = windowIcon();
        bar.titleBarFlags = windowFlags();
        bar.titleBarState = int(windowState());
        bar.subControls = QStyle::SC_All;
        bar.rect.setHeight(style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, this));
        if (style()->hitTestComplexControl(QStyle::CC_TitleBar, &bar, help->pos(), this) == QStyle::SC_TitleBarLabel) {
            plaintext::showToolTip(help, this, windowTitle());
            return true;
        }
    }
    return QMdiSubWindow::event(event);
}

void TBrowserWindow::holdHangWatch(bool held)
{
    hangWatchHeld_ = qMax(0, hangWatchHeld_ + (held ? 1 : -1));
    HungBar->setVisible(!pageAnswers_ && hangWatchHeld_ == 0);
}

WindowState TBrowserWindow::state() const
{
    return {address_, shownStatus_, ShownProgress, BackEnabled, ForwardEnabled, StopEnabled, ReloadEnabled};
}

void TBrowserWindow::publish(int parts)
{
    emit stateChanged(parts);
}

void TBrowserWindow::FormCreate()
{
    FormResize();
    BackEnabled = frameShows_.backEnabled;
    ForwardEnabled = frameShows_.forwardEnabled;
    StopEnabled = frameShows_.stopEnabled;
}

void TBrowserWindow::FormActivate()
{
    address_ = control_->LocationURL();
    shownStatus_ = LastStatusText;
    publish(WindowState::All);
}

void TBrowserWindow::FormClose()
{
    emit closing();
}

void TBrowserWindow::FormResize()
{
    // The control fills the client area inside the child's real frame.
    if (control_ && layout())
        layout()->activate();
}

void TBrowserWindow::closeEvent(QCloseEvent *event)
{
    // The page may ask first (beforeunload); its answer closes the window.
    // A second close while it is being asked closes it anyway, so a page
    // that never answers cannot keep its window open.
    if (!closeAgreed_ && !closeAsked_) {
        bool willAnswer = false;
        runGuarded([&] { willAnswer = control_->RequestClose(); });
        if (willAnswer) {
            closeAsked_ = true;
            // A page that said "stay" is asked again at a later close.
            QTimer::singleShot(3000, this, [this] { closeAsked_ = false; });
            event->ignore();
            return;
        }
    }
    runGuarded([this] { FormClose(); });
    QMdiSubWindow::closeEvent(event);
}

void TBrowserWindow::resizeEvent(QResizeEvent *event)
{
    QMdiSubWindow::resizeEvent(event);
    runGuarded([this] { FormResize(); });
}

void TBrowserWindow::statusTextChanged(const QString &text)
{
    LastStatusText = text;
    shownStatus_ = text;
    publish(WindowState::Status);
}

void TBrowserWindow::setShownProgress(int position)
{
    ShownProgress = qBound(0, position, 100);
}

void TBrowserWindow::commandStateChanged(EngineControl::NavigationCommand command, bool enable)
{
    // The states go into the window whose engine raised the change; a value
    // naming neither command still saves the states.
    if (command == EngineControl::NavigationCommand::Forward)
        ForwardEnabled = enable;
    else if (command == EngineControl::NavigationCommand::Back)
        BackEnabled = enable;
    ReloadEnabled = true;
    publish(WindowState::Buttons);
}

void TBrowserWindow::titleChanged(const QString &text)
{
    setWindowTitle(text);
    address_ = control_->LocationURL();
    publish(WindowState::Address);
}

void TBrowserWindow::pageAsksForWindow(const QString &caption, const NewWindowRequest &request)
{
    // The address the page asked for; the status text only when the engine
    // gives none. A window that could not be opened leaves the request to
    // the engine.
    const QString address = request.address();
    emit newWindowRequested(caption, address.isEmpty() ? LastStatusText : address, request);
}
