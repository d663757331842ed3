#include "window/Widgets.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace teintelle {

BevelPanel::BevelPanel(const QString& name, Look look, QWidget* parent) : QFrame(parent), look_(look)
{
    setObjectName(name);
    setAutoFillBackground(true);
    const int inset = clientInset();
    setContentsMargins(inset, inset, inset, inset);
}

void BevelPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QColor light = palette().color(QPalette::Light);
    const QColor dark = palette().color(QPalette::Dark);
    auto bevel = [&](QRect r, bool raised) {
        painter.setPen(raised ? light : dark);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(raised ? dark : light);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    };
    QRect r = rect();
    if (look_.border) {
        bevel(r, false);
        bevel(r.adjusted(1, 1, -1, -1), false);
        r.adjust(2, 2, -2, -2);
    }
    if (look_.outerBevelRaised) {
        bevel(r, true);
        r.adjust(1, 1, -1, -1);
    }
    if (look_.innerBevelRaised)
        bevel(r, true);
}

PushButton::PushButton(const QString& name, const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(false);
}

void PushButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (isEnabled())
            click();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

PathEdit::PathEdit(const QString& name, Kind kind, QWidget* parent) : QLineEdit(parent), kind_(kind)
{
    setObjectName(name);
    setClearButtonEnabled(false);
    const auto icon = style()->standardIcon(kind == Kind::Folder ? QStyle::SP_DirOpenIcon : QStyle::SP_FileDialogStart);
    QAction* browse = addAction(icon, QLineEdit::TrailingPosition);
    browse->setObjectName(name + QStringLiteral("_Parcourir"));
    browse->setToolTip(kind == Kind::Folder ? QStringLiteral("Parcourir...") : QStringLiteral("Browse"));
    connect(browse, &QAction::triggered, this, &PathEdit::browseRequested);

    auto* model = new QFileSystemModel(this);
    model->setRootPath(QString());
    model->setFilter(kind == Kind::Folder ? (QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)
                                          : (QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    auto* completer = new QCompleter(model, this);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    setCompleter(completer);

    // The folder field refuses dropped files; the photo field takes the first one.
    setAcceptDrops(kind == Kind::File);
}

void PathEdit::closeSuggestions()
{
    // The field asks its suggestions to follow an edit only after reporting
    // the change, so the list is closed once the edit is over.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (completer() != nullptr && completer()->popup() != nullptr)
                completer()->popup()->hide();
        },
        Qt::QueuedConnection);
}

void PathEdit::keyPressEvent(QKeyEvent* event)
{
    if (kind_ == Kind::Folder && event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier) {
        emit browseRequested();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void PathEdit::dragEnterEvent(QDragEnterEvent* event)
{
    if (kind_ == Kind::File && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void PathEdit::dragMoveEvent(QDragMoveEvent* event)
{
    if (kind_ == Kind::File && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void PathEdit::dropEvent(QDropEvent* event)
{
    const auto urls = event->mimeData()->urls();
    if (kind_ != Kind::File || urls.isEmpty() || !urls.first().isLocalFile()) {
        event->ignore();
        return;
    }
    constexpr int kMaxDroppedPath = 260;
    setText(urls.first().toLocalFile().left(kMaxDroppedPath));
    event->acceptProposedAction();
}

PanelSplitter::PanelSplitter(const QString& name, std::function<int()> current, std::function<int()> available,
                             std::function<void(int)> resize, QWidget* parent)
    : QWidget(parent), current_(std::move(current)), available_(std::move(available)), resize_(std::move(resize))
{
    setObjectName(name);
    setCursor(Qt::SplitHCursor);
    setFocusPolicy(Qt::NoFocus);
}

int PanelSplitter::clampedWidth(int wanted, int available)
{
    const int widest = available - kWidth - kMinimumSize;
    const int width = std::min(wanted, widest);
    return width <= kMinimumSize ? 0 : width;
}

int PanelSplitter::widthAt(QPoint globalPosition) const
{
    const int x = parentWidget()->mapFromGlobal(globalPosition).x() - grabOffset_;
    return clampedWidth(x, available_());
}

void PanelSplitter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    grabOffset_ = event->position().toPoint().x();
    delete dragLine_;
    dragLine_ = new QWidget(parentWidget());
    dragLine_->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette hatched;
    hatched.setBrush(QPalette::Window, QBrush(Qt::gray, Qt::Dense4Pattern));
    dragLine_->setPalette(hatched);
    dragLine_->setAutoFillBackground(true);
    dragLine_->setGeometry(geometry());
    dragLine_->show();
    dragLine_->raise();
}

void PanelSplitter::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragLine_)
        return;
    dragLine_->move(widthAt(event->globalPosition().toPoint()), y());
}

void PanelSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragLine_ || event->button() != Qt::LeftButton)
        return;
    delete dragLine_;
    dragLine_ = nullptr;
    resize_(widthAt(event->globalPosition().toPoint()));
}

} // namespace teintelle
