#pragma once

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include <functional>

namespace teintelle {

// A panel drawn with an optional single-line border (which insets its client
// area by two pixels) and raised outer and inner bevels.
class BevelPanel : public QFrame {
public:
    struct Look {
        bool border = false;
        bool outerBevelRaised = false;
        bool innerBevelRaised = false;
    };
    BevelPanel(const QString& name, Look look, QWidget* parent);
    int clientInset() const { return look_.border ? 2 : 0; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look look_;
};

// A push button that answers Enter as well as Space when it has the focus,
// as every button of the window does.
class PushButton : public QPushButton {
public:
    PushButton(const QString& name, const QString& text, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A single-line path field with a browse action at its right end. The action
// is part of the field, not a tab stop of its own.
class PathEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class Kind { Folder, File };
    PathEdit(const QString& name, Kind kind, QWidget* parent);

    // Closes the list of path suggestions, if it is open, once the event
    // at hand is handled.
    void closeSuggestions();

signals:
    void browseRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    Kind kind_;
};

// The bar between the effect panel and the photo panel. While the button is
// held a hatched line shows where the bar will go; the panels change when it
// is released.
class PanelSplitter : public QWidget {
public:
    static constexpr int kWidth = 5;
    static constexpr int kMinimumSize = 30;

    // current: the effect panel's width; available: the width the effect
    // panel, this bar and the photo panel share. resize: applies a new width.
    PanelSplitter(const QString& name, std::function<int()> current, std::function<int()> available,
                  std::function<void(int)> resize, QWidget* parent);

    // The effect panel's width for a bar dragged so that the panel would be
    // `wanted` wide: the photo panel keeps at least 30 pixels, and 30 or less
    // collapses the effect panel to nothing.
    static int clampedWidth(int wanted, int available);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int widthAt(QPoint globalPosition) const;

    std::function<int()> current_;
    std::function<int()> available_;
    std::function<void(int)> resize_;
    QWidget* dragLine_ = nullptr;
    int grabOffset_ = 0;
};

} // namespace teintelle
