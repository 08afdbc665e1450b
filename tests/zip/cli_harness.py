"""What the rylcli scripts under Wine share: the skip on machines that
cannot run 32-bit programs, the failure list and rylcli itself."""
import subprocess
import sys

failures = []


def skip_unless_runnable(wine_run):
    """Exit 77 (CTest's skip code) when the wrapper says 32-bit programs
    cannot run here; the wrapper says why."""
    if subprocess.run([wine_run, "--check"]).returncode != 0:
        sys.exit(77)


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED: " + message, flush=True)
    return condition


def win(path):
    return "Z:" + path.replace("/", "\\")


def rylcli_runner(wine_run, rylcli):
    """rylcli zip ARGS...: (exit code, stdout bytes, stderr bytes)."""
    def run(*args):
        result = subprocess.run([wine_run, rylcli, "zip"] + [str(a) for a in args], capture_output=True,
                                stdin=subprocess.DEVNULL)
        return result.returncode, result.stdout, result.stderr
    return run
