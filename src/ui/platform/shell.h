#pragma once

#include <QString>
#include <functional>

class QWidget;

// The shell call that opens an address with the user's program for its kind: the six arguments of
// the platform's shell function (owner, operation, file or address, parameters, folder, show command).
namespace shell {

struct Call {
    QWidget* owner;
    QString operation, file, parameters, directory;
    int show;
};

void execute(const Call& call);

// Tests record calls instead of opening anything; an empty function restores the real shell.
void setHandler(std::function<void(const Call&)> handler);

} // namespace shell
