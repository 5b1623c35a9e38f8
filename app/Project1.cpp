// Program entry: the application object, the main window `TForm1` and the edit dialog
// `TForm2`, then the message loop until the main window closes.
#include "app/Application.h"
#include "app/QtDialogs.h"
#include "app/Unit1.h"
#include "app/Unit2.h"

int main(int argc, char** argv) {
    lum::TApplication app(argc, argv);
    lum::QtDialogs dialogs;
    app.setDialogs(&dialogs);

    lum::TForm1 form1(dialogs);
    dialogs.setParentWindow(&form1);
    lum::TForm2 form2(&form1);
    form1.Form2 = &form2;
    form1.show();
    const int rc = app.exec();
    form1.FormDestroy();
    return rc;
}
