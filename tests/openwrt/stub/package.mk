# Stand-in for OpenWrt's package.mk. BuildPackage makes the target
# package-NAME, which installs the package into $(ROOT)/NAME with its own
# recipe, and writes its title, dependencies, architecture and conffiles to
# $(ROOT)/NAME.info. `prepare` runs Build/Prepare, `dev` Build/InstallDev.
$(if $(BUILD_DIR),,$(error BUILD_DIR names no folder))
PKG_BUILD_DIR?=$(BUILD_DIR)/$(PKG_NAME)-$(PKG_VERSION)
PKG_INSTALL_DIR?=$(PKG_BUILD_DIR)/ipkg-install

define newline


endef

prepare:
	rm -rf $(PKG_BUILD_DIR)
	$(call Build/Prepare)

dev: prepare
	rm -rf $(ROOT)/dev && mkdir -p $(ROOT)/dev
	$(call Build/InstallDev,$(ROOT)/dev)

define BuildPackage
$(eval TITLE:=)$(eval DEPENDS:=)$(eval PKGARCH:=)$(eval $(Package/$(1)))
$(file >$(ROOT)/$(1).info,title $(TITLE)$(newline)depends $(DEPENDS)$(newline)arch $(PKGARCH)$(newline)conffiles $(strip $(Package/$(1)/conffiles)))
packages: package-$(1)
package-$(1): prepare
	rm -rf $(ROOT)/$(1) && mkdir -p $(ROOT)/$(1)
	$$(call Package/$(1)/install,$(ROOT)/$(1))
endef
