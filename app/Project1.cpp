// Program entry: the application object, the main window `TForm1` and the edit dialog
// `TForm2`, then the message loop until the main window closes.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "lum_version.h"
#include "app/Application.h"
#include "app/logic/CommandLine.h"
#include "sim/Demo.h"
#include "app/DesignFont.h"
#include "app/QtDialogs.h"
#include "app/QtSafeSync.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "widgets/RepaintPace.h"
#include "serial/PortList.h"

namespace {

// Prints what --help or --version asks for; false when the options ask for neither.
bool AnswerHelp(const lum::AppOptions& options) {
    if (!options.help) return false;
    std::fputs((options.version ? lum::AppVersionText(LUM_VERSION, LUM_GIT_REVISION) : lum::AppHelpText()).c_str(),
               stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version are answered before the application object, which needs a display.
    // Anything the narrow arguments do not parse is reported below, from the Unicode ones.
    try {
        if (AnswerHelp(lum::ParseAppOptions(std::vector<std::string>(argv + 1, argv + argc)))) return 0;
    } catch (const std::exception&) {
    }
    lum::TApplication app(argc, argv);
    lum::AppOptions options;
    try {
        std::vector<std::string> args;
        for (const QString& a : QCoreApplication::arguments().mid(1)) args.push_back(a.toStdString());
        options = lum::ParseAppOptions(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n%s", e.what(), lum::AppHelpText().c_str());
        return 2;
    }
    if (AnswerHelp(options)) return 0;

    lum::RegisterDesignFont();  // the pages are laid out for Tahoma
    // The instruments show a fast line's records at most four times a second, each pass the
    // latest values: a person reads a meter no faster, and each pass costs a round trip to
    // the display.
    lum::RepaintPace::Shared().setPeriod(250);
    lum::QtDialogs dialogs;
    app.setDialogs(&dialogs);
    lum::InstallQtSafeSync(dialogs);

    // The selector lists the serial devices present, under their COM names.
    auto form1 = std::make_unique<lum::TForm1>(dialogs, [](std::vector<std::string>& names) {
        lum::ListComPorts(names, "COM");
    });
    dialogs.setParentWindow(form1.get());
    lum::TForm2 form2(form1.get());
    form1->Form2 = &form2;
    form1->show();

    lum::sim::DemoController demo;
    if (options.demo) {
        form1->RunHandler([&] {
            const std::string path = demo.Start(static_cast<std::uint8_t>(options.model));  // its clock starts at the PC's time
            form1->ShowPortText(QStringLiteral("Демо"), QString::fromStdString(path));
            form1->OpenDevicePath(path);
        });
    } else if (options.port) {
        form1->RunHandler([&] {
            const QString port = QString::fromStdString(*options.port);
            if (lum::TForm1::NamesDevice(port)) {
                form1->ShowPortText(port, port);
                form1->OpenDevicePath(*options.port);
            } else {
                form1->ComboBox1->setEditText(port);  // runs ComboBox1Change
            }
        });
    }

    const int rc = app.exec();
    form1->FormDestroy();
    demo.Stop();
    form1.reset();
    lum::UninstallQtSafeSync();
    return rc;
}
