// Stands in for the text editor the program opens its log with: takes the
// file name the same way (the rest of the command line) and shows it.
#include "app/Dialogs.h"
#include "app/LogViewer.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            path += ' ';
        path += argv[i];
    }
    TLogViewer viewer;
    bool loaded = false;
    CallGuarded([&] {
        viewer.LoadFile(path);
        loaded = true;
    });
    if (!loaded)
        return 1;
    MoveToScreenCentre(viewer, viewer.size());
    viewer.show();
    return application.exec();
}
