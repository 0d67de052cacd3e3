#include "Application.h"
#include "MainForm.h"

int main(int argc, char **argv) {
  TApplication Application(argc, argv);
  TForm1 Form1(Application.arguments().mid(1));
  Form1.show();
  return Application.exec();
}
