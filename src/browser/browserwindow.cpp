#include "browserwindow.h"

#include "app/errors.h"
#include "app/findbar.h"
#include "app/mainform.h"
#include "enginecontrol.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

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

TBrowserWindow::TBrowserWindow(TMainForm *frame, const QString &classId, const QString &name)
    : QMdiSubWindow(nullptr), frame_(frame)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(frame_->ImageList1.value(12));
    // The control is made first; a class that cannot be created leaves no
    // window behind (the caller deletes this half-made one).
    control_ = engines::create(classId, this);
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
    connect(control_, &EngineControl::PageResponsiveChange, this, [this](bool responsive) {
        HungBar->setVisible(!responsive);
    });
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
    // What a browser window does beyond the frame's commands.
    connect(control_, &EngineControl::StatusMessage, this, [this](const QString &text) {
        if (isActiveInFrame())
            frame_->StatusBar1->setPanelText(text);
    });
    connect(control_, &EngineControl::CloseRequested, this, [this] {
        closeAgreed_ = true;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    connect(control_, &EngineControl::FindRequested, this, guarded([this] {
        if (auto *bar = frame_->findChild<TFindBar *>())
            bar->openBar();
    }));
    connect(control_, &EngineControl::ZoomRequested, this, guarded([this](int step) {
        control_->SetZoomFactor(TFindBar::nextZoom(control_->ZoomFactor(), step));
    }));
    connect(control_, &EngineControl::OtherEngineRequested, this,
            guarded([this] { frame_->OpenInOtherEngine(this); }));
    // Cover the frame's default child size, as a freshly placed child would.
    const QSize area = frame_->MDIClient->viewport()->size();
    resize(qMax(320, area.width() * 3 / 4), qMax(240, area.height() * 3 / 4));
}

TBrowserWindow::~TBrowserWindow() = default;

bool TBrowserWindow::isActiveInFrame() const
{
    return frame_ && frame_->MDIClient->currentSubWindow() == this;
}

void TBrowserWindow::FormCreate()
{
    FormResize();
    BackEnabled = frame_->BackCtrl->isEnabled();
    ForwardEnabled = frame_->FrwrdCtrl->isEnabled();
    StopEnabled = frame_->StopCtrl->isEnabled();
}

void TBrowserWindow::FormActivate()
{
    frame_->txtAddress->setText(control_->LocationURL());
    frame_->ProgressBar1->setValue(qBound(0, ShownProgress, 100));
    frame_->StatusBar1->setPanelText(LastStatusText);
    frame_->BackCtrl->setEnabled(BackEnabled);
    frame_->FrwrdCtrl->setEnabled(ForwardEnabled);
    frame_->StopCtrl->setEnabled(StopEnabled);
    frame_->ReLoadCtrl->setEnabled(ReloadEnabled);
}

void TBrowserWindow::FormClose()
{
    // A window closing in the background leaves the active window's display.
    if (!isActiveInFrame() && frame_->MDIClient->currentSubWindow())
        return;
    frame_->ProgressBar1->setValue(0);
    frame_->txtAddress->clear();
    frame_->StatusBar1->setPanelText(QString());
    frame_->ReLoadCtrl->setEnabled(false);
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
    if (isActiveInFrame())
        frame_->StatusBar1->setPanelText(text);
    LastStatusText = text;
}

void TBrowserWindow::showProgress(int position)
{
    ShownProgress = qBound(0, position, 100);
    if (isActiveInFrame())
        frame_->ProgressBar1->setValue(ShownProgress);
}

void TBrowserWindow::commandStateChanged(int command, bool enable)
{
    // The states go into the window whose engine raised the change.
    if (command == 1)
        ForwardEnabled = enable;
    else if (command == 2)
        BackEnabled = enable;
    ReloadEnabled = true;
    if (!isActiveInFrame())
        return;
    if (command == 1)
        frame_->FrwrdCtrl->setEnabled(enable);
    else if (command == 2)
        frame_->BackCtrl->setEnabled(enable);
    frame_->ReLoadCtrl->setEnabled(true);
    BackEnabled = frame_->BackCtrl->isEnabled();
    ForwardEnabled = frame_->FrwrdCtrl->isEnabled();
    StopEnabled = frame_->StopCtrl->isEnabled();
    ReloadEnabled = frame_->ReLoadCtrl->isEnabled();
}

void TBrowserWindow::titleChanged(const QString &text)
{
    setWindowTitle(text);
    if (isActiveInFrame())
        frame_->txtAddress->setText(control_->LocationURL());
}

void TBrowserWindow::newWindowRequested(const QString &caption, const QString &address, bool &cancel)
{
    // The address the page asked for; the status text only when the engine
    // gives none.
    frame_->OpenBrowserWindow(caption, address.isEmpty() ? LastStatusText : address);
    cancel = true;
}
