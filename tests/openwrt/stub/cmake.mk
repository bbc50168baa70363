# Stand-in for OpenWrt's cmake.mk: the check builds and installs the tree
# itself, with the options the package adds (`make cmake-options`).
CMAKE_OPTIONS:=

cmake-options:
	@echo $(CMAKE_OPTIONS)
