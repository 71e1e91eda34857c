// Whether a usable SourceSafe component is there, and registering one if not.
//
// On Linux the component is the program's own reader and always answers version 6; the
// creation and the process launcher are injectable so that the other outcomes (only the
// base interface, nothing at all, the registration tool) can be driven.
#pragma once

#include <QString>

#include <functional>

#include "sourcesafe/vss_database.h"

namespace varnotte {

class CBrelwickDlg;

// Creates a database object for an interface, as the component's class factory would.
using DatabaseFactory = std::function<sourcesafe::HRESULT(const sourcesafe::Guid& interfaceId,
                                                          sourcesafe::IVSSDatabase& out)>;
DatabaseFactory BuiltInDatabaseFactory();

// 6 when a database object with the version-6 interface can be had (it is left in
// `holder`, unopened), 5 when only the base interface can, -1 when none. A holder that
// already holds an object answers 6 at once.
int ProbeComponentVersion(sourcesafe::IVSSDatabase& holder, const DatabaseFactory& create);

// Starts a program hidden, through the shell, and waits for it without time limit.
class ProcessLauncher {
  public:
    virtual ~ProcessLauncher() = default;
    // Returns whether the program started (and so was waited for).
    virtual bool RunAndWait(const QString& program, const QString& parameters) = 0;
};

class ShellProcessLauncher : public ProcessLauncher {
  public:
    bool RunAndWait(const QString& program, const QString& parameters) override;
};

// The check the dialog runs while it initialises. Returns true to go on; false when it has
// ended the dialog with -1 (only the base interface, or the user declined or cancelled).
bool RunComponentCheck(CBrelwickDlg& dialog, const DatabaseFactory& create,
                       ProcessLauncher& launcher);

// Texts and names of the check, for its tests.
namespace component_check_text {
extern const char* const kCaption;
extern const char* const kVersionTooOld;  // with %d for the version needed
extern const char* const kComponentMissing;
extern const char* const kLocateTitle;
extern const char* const kLocateFilter;
extern const char* const kRegistrationTool;
extern const char* const kRegistrationParameters;  // with %s for the chosen file
}  // namespace component_check_text

}  // namespace varnotte
