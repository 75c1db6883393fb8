#include "ui/GuiApp.h"

int main(int argc, char** argv) {
  return kivo::RunGui(argc, argv);
}
