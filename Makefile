# MiniSetup: two commands on a fresh Debian machine (as root).
#   make demo  - build everything and run a whole setup under Wine against local servers
#   make test  - build everything and run every test (non-zero exit on any failure)
BUILD     ?= build
JOBS      ?= $(shell nproc)
TOOLCHAIN := cmake/toolchain-mingw32.cmake

.PHONY: all bootstrap configure build test demo bench clean gallery-texts

all: build

bootstrap:
	scripts/bootstrap

configure: bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure

demo: build
	python3 scripts/demo.py --build $(BUILD)

bench: build
	scripts/bench-gnet $(BUILD)

# The start-page texts of every language, drawn under Wine: $(BUILD)/gallery/texts.png
gallery-texts: configure
	cmake --build $(BUILD) -j $(JOBS) --target texts_gallery
	mkdir -p $(BUILD)/gallery
	cd $(BUILD) && ./wine-run bin/texts_gallery.exe gallery/texts.png

clean:
	rm -rf $(BUILD)/CMakeFiles $(BUILD)/bin $(BUILD)/host $(BUILD)/generated $(BUILD)/wineprefix
