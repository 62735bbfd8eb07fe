#include "app/find.h"

char szFindText[256];
BOOL bFindCaseSensitive;
