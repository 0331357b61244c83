#pragma once

// Withdraws the ProgIDs, the program's claim on .zip and .rar, and its capabilities.
void UnregisterAssociations();

// Removes the context-menu verbs.
void UnregisterVerbs();
