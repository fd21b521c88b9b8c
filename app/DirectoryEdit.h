#pragma once
// A one-line edit with a button beside it that opens a folder selection
// dialog; the folder chosen there replaces the text.
#include <QWidget>
#include <string>

class QLineEdit;
class QToolButton;

class TDirectoryEdit : public QWidget {
public:
    explicit TDirectoryEdit(QWidget* parent = nullptr);

    std::string Text() const;
    void SetText(const std::string& text);
    QLineEdit* Edit() const { return LineEdit; }
    QToolButton* Button() const { return BrowseButton; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Browse();

    QLineEdit* LineEdit;
    QToolButton* BrowseButton;
};
