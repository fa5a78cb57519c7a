#include "cli/cli.h"
#include "link/port_survey.h"

int RunPortsVerb(std::FILE* out) { return PrintPortSurvey(out); }
