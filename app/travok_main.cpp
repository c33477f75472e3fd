#include "app/travok_main.h"

#include <memory>

#include "app/dialogs.h"
#include "app/frmTravok.h"
#include "framework/application.h"
#include "framework/exceptions.h"

namespace app {

int RunTravok(const MainWindowObserver& observer) {
  iErrorLevel = 255;
  auto application = std::make_unique<fw::TApplication>();
  fw::Application = application.get();
  application->Initialize();
  try {
    const TTravokMain* main = application->CreateForm<TTravokMain>();
    application->CreateForm<TShowMsg>();
    application->CreateForm<TReboot>();
    application->Run();
    if (observer) observer(*main);
  } catch (const fw::Exception& e) {
    application->ShowException(&e);
  } catch (...) {
    application->ShowException(nullptr);
  }
  application.reset();
  fw::Application = nullptr;
  return iErrorLevel;
}

}  // namespace app
