#pragma once

#include <QApplication>

#include <exception>

class Prompts;

// The application object of mirelle-loader. Qt does not carry exceptions
// through its event loop: one that escapes a handler is caught here, at the
// loop's boundary, shown in the standard error box, and the program goes on.
class LoaderApplication final : public QApplication {
public:
    // "Mirelle series program loader", as the desktop names the program.
    static constexpr const char* kTitle = "Mirelle series program loader";

    LoaderApplication(int& argc, char** argv);

    // Where the error box goes; until set, the text goes to standard error.
    void SetPrompts(Prompts* prompts) { this->prompts = prompts; }
    // The standard error box: the exception's text under the program's name.
    void ShowException(const std::exception& error);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    Prompts* prompts = nullptr;
};
