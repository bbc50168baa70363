# Stand-in for OpenWrt's rules.mk, for feed_files_test.py: OpenWrt's install
# commands, each run through `record`, which notes the files it takes from
# the install tree.
INCLUDE_DIR:=$(TOPDIR)
INSTALL_DIR:=install -d -m0755
INSTALL_BIN:=$(TOPDIR)/record install -m0755
INSTALL_DATA:=$(TOPDIR)/record install -m0644
INSTALL_CONF:=$(TOPDIR)/record install -m0600
CP:=$(TOPDIR)/record cp -fpR
SED:=sed -i -e
