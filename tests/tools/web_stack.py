"""The web page, its CGI and the SDK daemon on the emulator, served by
lighttpd: what the web tests and scripts/web-demo run. The daemon runs for
one modem index on the built-in emulator; lighttpd runs the CGI with the
build's vant and a secret of its own."""
import os
import shutil
import socket
import subprocess
import tempfile
import time

LIGHTTPD = shutil.which("lighttpd", path="/usr/sbin:/usr/bin:/sbin:/bin")


def free_port(host="127.0.0.1"):
    with socket.socket() as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def loopback_up():
    """A fresh network namespace has its loopback down."""
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)


class ModemTaken(RuntimeError):
    """Another daemon serves the modem index."""


class WebStack:
    def __init__(self, bin_dir, source_dir, modem=0, port=None, host="127.0.0.1",
                 scenario=None, daemon_args=()):
        self.bin, self.source = os.path.abspath(bin_dir), os.path.abspath(source_dir)
        self.modem, self.host = modem, host
        self.port = port or free_port(host)
        self.scenario, self.daemon_args = scenario, list(daemon_args)
        self.dir = tempfile.mkdtemp(prefix="vant-web.")
        self.daemon = self.server = None
        self.page = f"http://{host}:{self.port}/vant/"
        self.api = self.page + "api"

    def vant(self, *args, check=True):
        """Runs vant itself on the stack's modem; its output."""
        return subprocess.run([os.path.join(self.bin, "vant"), "-d", str(self.modem),
                               "-s", "/dev/null", *args], capture_output=True, text=True,
                              timeout=60, check=check)

    def start(self, serve=True):
        secret = os.path.join(self.dir, "secret")
        with open(os.open(secret, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "w") as f:
            f.write(os.urandom(32).hex())
        simulate = "--simulate" + (f"={self.scenario}" if self.scenario else "")
        self.daemon_log = open(os.path.join(self.dir, "daemon.log"), "w")
        self.daemon = subprocess.Popen(
            [os.path.join(self.bin, "vantsdk"), simulate, "--foreground", *self.daemon_args,
             str(self.modem)], stdout=subprocess.DEVNULL,
            stderr=self.daemon_log)
        # Ours serves once it says so; one that ends at once found the index
        # taken, and vant would reach the other daemon.
        for _ in range(100):
            if self.daemon.poll() is not None:
                if "already running" in self.log("daemon.log"):
                    raise ModemTaken(self.log("daemon.log"))
                raise RuntimeError("the daemon ended: " + self.log("daemon.log"))
            if "serving clients" in self.log("daemon.log") and \
                    self.vant("device", check=False).returncode == 0:
                break
            time.sleep(0.1)
        else:
            raise RuntimeError("the daemon did not come up: " + self.log("daemon.log"))
        if not serve:
            return self
        conf = os.path.join(self.dir, "lighttpd.conf")
        with open(conf, "w") as f:
            f.write(self.config(secret))
        self.server = subprocess.Popen([LIGHTTPD, "-D", "-f", conf],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        for _ in range(100):
            try:
                socket.create_connection((self.host, self.port), timeout=1).close()
                return self
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("lighttpd did not come up: " + self.log("error.log"))

    def config(self, secret):
        web = os.path.join(self.source, "web") + "/"
        cgi = os.path.join(self.bin, "vant-cgi")
        return f"""server.modules = ("mod_alias", "mod_cgi", "mod_setenv")
server.document-root = "{web}"
server.bind = "{self.host}"
server.port = {self.port}
server.errorlog = "{self.dir}/error.log"
server.max-request-size = 16
index-file.names = ("index.html")
mimetype.assign = (".html" => "text/html; charset=utf-8", ".js" => "text/javascript",
                   ".css" => "text/css", ".png" => "image/png")
alias.url = ("/vant/api" => "{cgi}", "/vant/" => "{web}")
$HTTP["url"] =~ "^/vant/api" {{ cgi.assign = ("" => "") }}
setenv.add-environment = ("VANT_CGI_VANT" => "{self.bin}/vant", "VANT_CGI_SECRET" => "{secret}",
                          "VANT_CGI_MODEM" => "{self.modem}")
"""

    def log(self, name):
        try:
            with open(os.path.join(self.dir, name)) as f:
                return f.read()[-2000:]
        except OSError:
            return ""

    def stop(self):
        for p in (self.server, self.daemon):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        if self.daemon:
            self.daemon_log.close()
        shutil.rmtree(self.dir, ignore_errors=True)
