// Start-up and shutdown of the program's units, in the order their registrations depend on.
#pragma once

void InitializeUnits();
void FinalizeUnits();
