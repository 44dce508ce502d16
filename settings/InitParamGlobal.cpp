#include "settings/IniParam.h"

// Lives for the whole run; its destruction at exit writes the settings file.
TInitParam InitParam;
