#!/usr/bin/python3
"""The OpenWrt feed (packaging/openwrt/feed) as far as this machine allows,
without an OpenWrt SDK: the packages' install recipes run for real, through
stand-ins for OpenWrt's include files (tests/openwrt/stub), against the tree
that `cmake --install` of the router profile puts into a DESTDIR.

`feed_files_test.py --install` builds and installs that tree (ctest's
fixture); each case then runs the recipes into a fresh folder. Cases:
`feed_files_test.py Class.test_name`; `--list` names them."""
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import python_cases  # noqa: E402

BIN = os.environ.get("VANT_BIN_DIR", "build/bin")
SOURCE = os.path.abspath(os.environ.get("VANT_SOURCE_DIR", "."))
BUILD = os.path.dirname(os.path.abspath(BIN))
ROUTER = os.path.join(BUILD, "openwrt-router")
INSTALLED = os.path.join(BUILD, "openwrt-router-install")
FEED = os.path.join(SOURCE, "packaging", "openwrt", "feed")
STUB = os.path.join(SOURCE, "tests", "openwrt", "stub")

# Installed by the router profile, taken by no package, and why.
LEFT_OUT = {"/usr/sbin/vantsdk-sim": "the router build's daemon refuses this name"}
# Taken by a package before the router profile installs it: the check puts a
# stand-in there. Once the profile installs one, the check fails until it is
# taken off this list.
AWAITED = {}
# Packages of other feeds that ours depend on.
OPENWRT_PACKAGES = {"libstdcpp", "rpcd", "uhttpd", "luci-base"}
# What an OpenWrt package must hold executable.
PROGRAM_FOLDERS = ("usr/bin/", "usr/sbin/", "etc/init.d/", "usr/libexec/rpcd/", "www/cgi-bin/")


def make(package, *targets, env=None, capture=False):
    return subprocess.run(["make", "-s", "-C", os.path.join(FEED, package), "TOPDIR=" + STUB,
                           *targets], env={**os.environ, **(env or {})}, check=True, text=True,
                          capture_output=capture, timeout=600)


def cache_value(name):
    with open(os.path.join(BUILD, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return ""


def install_router_profile():
    """Configures the router profile as OpenWrt's cmake.mk does (prefix /usr,
    libraries in lib) with the package's own options, builds and installs it."""
    with tempfile.TemporaryDirectory() as scratch:
        options = make("vant", "cmake-options", env={"BUILD_DIR": scratch, "ROOT": scratch},
                       capture=True).stdout.split()
    launcher = cache_value("CMAKE_CXX_COMPILER_LAUNCHER")
    subprocess.run(["cmake", "-S", SOURCE, "-B", ROUTER, "-G", "Ninja", *options,
                    "-DCMAKE_INSTALL_PREFIX=/usr", "-DCMAKE_INSTALL_LIBDIR=lib",
                    *(["-DCMAKE_CXX_COMPILER_LAUNCHER=" + launcher] if launcher else [])],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", ROUTER], check=True, stdout=subprocess.DEVNULL)
    shutil.rmtree(INSTALLED, ignore_errors=True)
    subprocess.run(["cmake", "--install", ROUTER], env={**os.environ, "DESTDIR": INSTALLED},
                   check=True, stdout=subprocess.DEVNULL)


def files_below(root):
    """Every file and symbolic link below root, as /path."""
    found = set()
    for folder, folders, names in os.walk(root):
        for name in names + [d for d in folders if os.path.islink(os.path.join(folder, d))]:
            found.add("/" + os.path.relpath(os.path.join(folder, name), root))
    return found


class Feed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isdir(INSTALLED):
            raise RuntimeError("no router profile installed in %s: run --install first" % INSTALLED)
        cls.work = tempfile.mkdtemp(prefix="vant-feed.")
        cls.tree = os.path.join(cls.work, "installed")
        shutil.copytree(INSTALLED, cls.tree, symlinks=True)
        cls.installed = files_below(cls.tree)
        for path in set(AWAITED) - cls.installed:
            os.makedirs(os.path.dirname(cls.tree + path), exist_ok=True)
            with open(cls.tree + path, "w") as f:
                f.write("#!/bin/sh\n")
            os.chmod(cls.tree + path, 0o755)
        cls.root = os.path.join(cls.work, "root")
        os.makedirs(cls.root)
        taken = os.path.join(cls.work, "taken")
        env = {"BUILD_DIR": os.path.join(cls.work, "build"), "ROOT": cls.root,
               "PKG_INSTALL_DIR": cls.tree, "VANT_FEED_INSTALLED": cls.tree,
               "VANT_FEED_TAKEN": taken}
        make("vant", "packages", "dev", env=env)
        make("luci-app-vant", "packages", env=env)
        cls.taken = set()
        with open(taken) as f:
            for path in f.read().split():
                below = files_below(cls.tree + path) if os.path.isdir(cls.tree + path) else {""}
                cls.taken |= {path + file for file in below}
        cls.packages = {}
        for name in os.listdir(cls.root):
            if name.endswith(".info"):
                with open(os.path.join(cls.root, name)) as f:
                    info = dict(line.split(" ", 1) for line in f.read().splitlines() if " " in line)
                cls.packages[name[:-5]] = info

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def package_file(self, package, path):
        return os.path.join(self.root, package, path.lstrip("/"))

    def test_the_packages_take_every_installed_file(self):
        self.assertEqual(set(), self.installed & set(AWAITED),
                         "the router profile installs these now: take them off AWAITED")
        self.assertEqual(set(), self.taken & set(LEFT_OUT), "taken, though listed as left out")
        self.assertEqual(set(), self.installed - self.taken - set(LEFT_OUT),
                         "installed by the router profile, taken by no package")
        self.assertEqual(set(), set(LEFT_OUT) - self.installed, "left out, but not installed")

    def test_every_package_is_whole(self):
        self.assertEqual({"libvantsdk", "vantsdk", "vantctl", "vant", "vant-www", "vant-rpcd",
                          "luci-app-vant"}, set(self.packages))
        for name, info in self.packages.items():
            with self.subTest(package=name):
                self.assertTrue(info.get("title"))
                for dependency in re.findall(r"\+(\S+)", info.get("depends", "")):
                    self.assertIn(dependency, set(self.packages) | OPENWRT_PACKAGES)
                for conffile in info.get("conffiles", "").split():
                    self.assertTrue(os.path.isfile(self.package_file(name, conffile)), conffile)
                files = files_below(os.path.join(self.root, name))
                self.assertTrue(files)
                for path in files:
                    if path.lstrip("/").startswith(PROGRAM_FOLDERS):
                        mode = os.stat(self.package_file(name, path)).st_mode
                        self.assertTrue(mode & stat.S_IXOTH, path)
        self.assertEqual("all", self.packages["luci-app-vant"]["arch"])
        self.assertIn("/etc/config/vantsdk", self.packages["vantsdk"]["conffiles"])
        # The page finds its API where the package puts the CGI (uhttpd serves /www).
        with open(self.package_file("vant-www", "/www/vant/index.html")) as f:
            api = re.search(r'<meta name="vant-api" content="([^"]*)">', f.read()).group(1)
        self.assertTrue(os.access(self.package_file("vant-www", "/www" + api), os.X_OK), api)

    def test_the_luci_app_names_only_what_the_plugin_serves(self):
        plugin = self.package_file("vant-rpcd", "/usr/libexec/rpcd/vant")
        methods = set(json.loads(subprocess.run([plugin, "list"], capture_output=True, check=True,
                                                timeout=30).stdout))
        app = os.path.join(self.root, "luci-app-vant")
        with open(os.path.join(app, "usr/share/rpcd/acl.d/luci-app-vant.json")) as f:
            acl = json.load(f)
        with open(os.path.join(app, "usr/share/luci/menu.d/luci-app-vant.json")) as f:
            menu = json.load(f)
        self.assertEqual(["luci-app-vant"], list(acl))
        grant = acl["luci-app-vant"]
        # The plugin's file name is its ubus object.
        read, write = (set(grant[kind]["ubus"]["vant"]) for kind in ("read", "write"))
        self.assertEqual(["vant"], list(grant["read"]["ubus"]))
        self.assertEqual(methods, read | write)
        self.assertEqual(set(), read & {"scan", "set_lock", "set_bands", "best_cell", "confirm",
                                        "revert"}, "a change granted to readers")
        for entry in menu.values():
            self.assertEqual(["luci-app-vant"], entry["depends"]["acl"])
            view = os.path.join(app, "www/luci-static/resources/view", entry["action"]["path"] + ".js")
            with open(view) as f:
                source = f.read()
            block = re.search(r"const METHODS = \{(.*?)\n\};", source, re.S).group(1)
            self.assertEqual(methods, set(re.findall(r"(\w+): \[", block)))
            self.assertIn("object: 'vant'", source)
            # The view loads the page's own renderer, installed beside it.
            for resource in re.findall(r"L\.resource\('([^']+)'\)", source):
                shared = os.path.join(app, "www/luci-static/resources", resource)
                with open(shared) as f, open(os.path.join(SOURCE, "web",
                                                          os.path.basename(resource))) as g:
                    self.assertEqual(g.read(), f.read(), resource)


if __name__ == "__main__":
    if sys.argv[1:] == ["--install"]:
        install_router_profile()
        sys.exit(0)
    python_cases.main([Feed])
