// Resource ids shared by the templates (setup.rc) and the code. Templates are named by strings.
#pragma once

#define IDI_SETUP 102

// Common controls of every page.
#define IDC_NEXT 1000
#define IDC_CANCEL_WIZARD 1001
#define IDC_BACK 1011
#define IDC_HEADER 1022
