// The data-file maker: creates a new, empty KeyCask data file at the given path.
#include "data/modSchema.h"
#include "platform/AppError.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: keycask_mkdata <path of the new data file>\n");
        return 2;
    }
    try {
        modSchema::CreateDataFile(args.at(1));
    } catch (const AppError& error) {
        std::fprintf(stderr, "keycask_mkdata: %s\n", qPrintable(error.Description()));
        return 1;
    }
    std::printf("Created %s\n", qPrintable(args.at(1)));
    return 0;
}
