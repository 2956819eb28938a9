/* A small aarch64 Windows program that the checks of scripts/arm64-wine.sh
 * run inside the arm64 root's Wine. Built without a C runtime or SDK headers
 * (clang and lld-link, import libraries made from kernel32.def and user32.def),
 * so that it needs nothing from the ARM64 build.
 *   probe out TEXT     writes TEXT and a newline to standard output
 *   probe err TEXT     the same to standard error
 *   probe cat          copies standard input to standard output
 *   probe exit N       exits with code N
 *   probe window TITLE shows a top-level window named TITLE, writes
 *                      "shown WIDTHxHEIGHT" (the screen's size), keeps it for
 *                      3 s while pumping messages, destroys it; exit code 4
 *                      when no window could be made (no display). */
typedef void *HANDLE;
typedef unsigned long DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef unsigned long long WPARAM;
typedef long long LPARAM;
typedef long long LRESULT;
typedef void *HWND;
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra, cbWndExtra;
  HANDLE hInstance, hIcon, hCursor, hbrBackground;
  const char *lpszMenuName, *lpszClassName;
} WNDCLASSA;

typedef struct {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  long pt_x, pt_y;
  DWORD lPrivate;
} MSG;

#define IMPORT __declspec(dllimport)
IMPORT HANDLE GetStdHandle(DWORD);
IMPORT BOOL WriteFile(HANDLE, const void *, DWORD, DWORD *, void *);
IMPORT BOOL ReadFile(HANDLE, void *, DWORD, DWORD *, void *);
IMPORT void ExitProcess(UINT);
IMPORT char *GetCommandLineA(void);
IMPORT HANDLE GetModuleHandleA(const char *);
IMPORT DWORD GetTickCount(void);
IMPORT void Sleep(DWORD);
IMPORT unsigned short RegisterClassA(const WNDCLASSA *);
IMPORT HWND CreateWindowExA(DWORD, const char *, const char *, DWORD, int, int, int, int, HWND, HANDLE,
                            HANDLE, void *);
IMPORT BOOL ShowWindow(HWND, int);
IMPORT BOOL DestroyWindow(HWND);
IMPORT BOOL PeekMessageA(MSG *, HWND, UINT, UINT, UINT);
IMPORT BOOL TranslateMessage(const MSG *);
IMPORT LRESULT DispatchMessageA(const MSG *);
IMPORT LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM);
IMPORT int GetSystemMetrics(int);

#define STD_INPUT_HANDLE ((DWORD)-10)
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define STD_ERROR_HANDLE ((DWORD)-12)
#define WS_OVERLAPPEDWINDOW 0x00CF0000
#define SW_SHOW 5
#define PM_REMOVE 1

static DWORD length(const char *s) {
  DWORD n = 0;
  while (s[n]) n++;
  return n;
}

static void write_line(DWORD which, const char *text) {
  DWORD done;
  HANDLE h = GetStdHandle(which);
  WriteFile(h, text, length(text), &done, 0);
  WriteFile(h, "\n", 1, &done, 0);
}

/* Splits the command line in place at spaces (no quoting: the checks pass
 * plain words); returns the number of words after the program's name. */
static int split(char *line, char **words, int max) {
  int n = 0;
  if (*line == '"') {
    line++;
    while (*line && *line != '"') line++;
    if (*line) line++;
  } else {
    while (*line && *line != ' ') line++;
  }
  while (*line && n < max) {
    while (*line == ' ') *line++ = 0;
    if (!*line) break;
    words[n++] = line;
    while (*line && *line != ' ') line++;
  }
  while (*line == ' ') *line++ = 0;
  return n;
}

static int equal(const char *a, const char *b) {
  while (*a && *a == *b) a++, b++;
  return *a == *b;
}

static void format_number(char *out, int value) {
  char digits[12];
  int n = 0;
  if (value < 0) *out++ = '-', value = -value;
  do digits[n++] = (char)('0' + value % 10), value /= 10; while (value);
  while (n) *out++ = digits[--n];
  *out = 0;
}

static LRESULT window_proc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  return DefWindowProcA(hwnd, message, w, l);
}

static int show_window(const char *title) {
  WNDCLASSA wc = {0};
  MSG msg;
  char text[40] = "shown ";
  HWND hwnd;
  DWORD start;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = GetModuleHandleA(0);
  wc.lpszClassName = "Arm64Probe";
  RegisterClassA(&wc);
  hwnd = CreateWindowExA(0, "Arm64Probe", title, WS_OVERLAPPEDWINDOW, 10, 10, 160, 120, 0, 0, wc.hInstance, 0);
  if (!hwnd) {
    write_line(STD_ERROR_HANDLE, "probe: CreateWindowExA failed");
    return 4;
  }
  ShowWindow(hwnd, SW_SHOW);
  format_number(text + length(text), GetSystemMetrics(0 /* SM_CXSCREEN */));
  text[length(text) + 1] = 0;
  text[length(text)] = 'x';
  format_number(text + length(text), GetSystemMetrics(1 /* SM_CYSCREEN */));
  write_line(STD_OUTPUT_HANDLE, text);
  start = GetTickCount();
  while (GetTickCount() - start < 3000) {
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(20);
  }
  DestroyWindow(hwnd);
  return 0;
}

void start(void) {
  char *words[4];
  int n = split(GetCommandLineA(), words, 4);
  int code = 2;
  if (n == 2 && equal(words[0], "out")) {
    write_line(STD_OUTPUT_HANDLE, words[1]);
    code = 0;
  } else if (n == 2 && equal(words[0], "err")) {
    write_line(STD_ERROR_HANDLE, words[1]);
    code = 0;
  } else if (n == 1 && equal(words[0], "cat")) {
    char buffer[512];
    DWORD got, done;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, 0) && got)
      WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buffer, got, &done, 0);
    code = 0;
  } else if (n == 2 && equal(words[0], "exit")) {
    code = 0;
    for (const char *p = words[1]; *p >= '0' && *p <= '9'; p++) code = code * 10 + (*p - '0');
  } else if (n == 2 && equal(words[0], "window")) {
    code = show_window(words[1]);
  } else {
    write_line(STD_ERROR_HANDLE, "usage: probe out|err TEXT | cat | exit N | window TITLE");
  }
  ExitProcess(code);
}
