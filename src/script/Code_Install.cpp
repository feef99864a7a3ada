// Connects the compiler to the modules that compile code they load (actions,
// triggers) without depending on how compiled trees look.
#include "resources/Action_Class.h"
#include "runner/Support_Various.h"
#include "script/Code_Error.h"
#include "script/Code_Function.h"
#include "script/Code_Main.h"

void InstallLanguageHooks() {
  RActionCompiler& hooks = ActionCompiler();
  hooks.compile = [](const std::string& text, bool expression, std::string& error) -> CodeHandle {
    auto code = std::make_shared<CCode>(text, expression);
    if (!code->Compile()) {
      error = ErrorText();
      return nullptr;
    }
    return code;
  };
  hooks.constant = [](const CodeHandle& code, RValue& value) {
    if (!code || code->i_kind != 3) return false;
    value = code->i_value;
    return true;
  };
  hooks.find_function = [](const std::string& name) { return FunctionFind(name); };
  hooks.load_message = [](const std::string& text) { ShowMessage(text); };
  hooks.report_fatal = [](const std::string& text) {
    // Trigger conditions are reported plainly, everything else with the
    // place of the action being compiled.
    if (text.rfind("COMPILATION ERROR in condition of trigger ", 0) == 0) ReportError(text, true);
    else ReportActionError(text, true);
  };
}
