# MiniSetup: two commands on a fresh Debian 12 machine (as root; the one
# prerequisite is make itself: apt-get update && apt-get install -y make).
#   make demo  - build everything and run a whole setup under Wine against local servers
#   make test  - build everything and run every test (non-zero exit on any failure)
#   make faults [SEED=n] [RUNS=n] - whole silent setups under injected faults, one table row per fault
#   make clean - remove everything the build made except the dependency prefix
BUILD     ?= build
JOBS      ?= $(shell nproc)
TOOLCHAIN := cmake/toolchain-mingw32.cmake

.PHONY: all bootstrap configure build test demo bench faults gallery gallery-texts clean distclean

all: build

bootstrap:
	scripts/bootstrap

configure: bootstrap
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	scripts/run-tests $(BUILD)

demo: build
	python3 scripts/demo.py --build $(BUILD)

bench: build
	scripts/bench-gnet $(BUILD)

# Not part of test: it takes up to half an hour (RUNS per row, default 30).
faults: build
	python3 scripts/faults.py --build $(BUILD) $(if $(SEED),--seed $(SEED)) $(if $(RUNS),--runs $(RUNS))

# Every image and control state drawn through the toolkit ($(BUILD)/gallery/toolkit.png)
# and the start-page texts of every language ($(BUILD)/gallery/texts.png).
gallery: gallery-texts
	cmake --build $(BUILD) -j $(JOBS) --target lessdui_gallery
	mkdir -p $(BUILD)/gallery
	$(BUILD)/wine-run $(BUILD)/bin/lessdui_gallery.exe $(BUILD)/gallery/toolkit.png

# The start-page texts of every language, drawn under Wine: $(BUILD)/gallery/texts.png
gallery-texts: configure
	cmake --build $(BUILD) -j $(JOBS) --target texts_gallery
	mkdir -p $(BUILD)/gallery
	cd $(BUILD) && ./wine-run bin/texts_gallery.exe gallery/texts.png

# The cross-built dependencies (build/deps) take minutes to make and are kept.
clean:
	@if [ -x $(BUILD)/wine-run ]; then $(BUILD)/wine-run --stop-display >/dev/null; fi
	@if [ -d $(BUILD) ]; then find $(BUILD) -mindepth 1 -maxdepth 1 ! -name 'deps*' -exec rm -rf {} +; fi

distclean: clean
	rm -rf $(BUILD)
