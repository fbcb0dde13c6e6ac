# t4k Vestrel: one command to build and test both worlds.
#
#   make test   install missing tools; build the Linux, Windows, fuzz and
#               sanitizer (address+undefined, thread) builds; run every test
#               of the Linux build's CTest list (Windows programs under Wine)
#   make build  the same builds without running the tests
#   make demo   a whole copy run on the built-in simulated drives, in the
#               console and then in the virtual wizard (under Wine: on the
#               display, or without one driven and photographed on Xvfb)
#   make bench-wizard  how quickly the virtual wizard answers while eight
#               recorders write, beside the same figure idle (under Wine)
#   make package  the download for Windows users: build/package/t4kVestrel/
#               (installer, wizard, read-me) and build/package/t4kVestrel.zip

BUILD      ?= build
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 15

NATIVE  := $(BUILD)/native
WINDOWS := $(BUILD)/windows
FUZZ    := $(BUILD)/fuzz
ASAN    := $(BUILD)/asan
TSAN    := $(BUILD)/tsan

# Debian packages the builds and tests need.
PACKAGES := cmake ninja-build g++ libgtest-dev googletest clang libclang-rt-14-dev \
            mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 fonts-wine \
            xvfb x11-utils imagemagick xorriso genisoimage bchunk sox zip jq \
            libcdio-utils cuetools

.PHONY: all deps build native native-configure windows windows-configure fuzz asan tsan test \
        demo bench-wizard package clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    SUDO=""; [ "$$(id -u)" -eq 0 ] || SUDO=sudo; \
	    $$SUDO apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

native: native-configure
	cmake --build $(NATIVE) -j $(JOBS)

native-configure:
	cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DVESTREL_WINDOWS_BUILD=$(abspath $(WINDOWS)) \
	    -DVESTREL_FUZZ_BUILD=$(abspath $(FUZZ)) -DVESTREL_FUZZ_SECONDS=$(FUZZ_SECONDS) \
	    -DVESTREL_ASAN_BUILD=$(abspath $(ASAN)) -DVESTREL_TSAN_BUILD=$(abspath $(TSAN))

windows: windows-configure
	cmake --build $(WINDOWS) -j $(JOBS)

windows-configure:
	cmake -S . -B $(WINDOWS) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-w64-x86_64.cmake)

fuzz:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DVESTREL_FUZZ=ON
	cmake --build $(FUZZ) -j $(JOBS)

asan:
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVESTREL_SANITIZE=address
	cmake --build $(ASAN) -j $(JOBS)

tsan:
	cmake -S . -B $(TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTREL_SANITIZE=thread
	cmake --build $(TSAN) -j $(JOBS)

build: deps windows fuzz asan tsan native

# The Windows tests run under Wine one after another and spend most of their
# time waiting for the windows they drive, so they start as soon as the
# Windows build is done, in a CTest run of their own, while the other builds
# go on at a lower priority and the other tests follow in a second run.
WINE_LOG := $(NATIVE)/windows-tests.log

test: deps windows native-configure
	@rm -f $(WINE_LOG) $(WINE_LOG).status; \
	( cd $(NATIVE) && ctest -R '^windows[.]' --output-on-failure >$(abspath $(WINE_LOG)) 2>&1; \
	  echo $$? >$(abspath $(WINE_LOG)).status ) & \
	status=0; \
	{ nice -n 10 $(MAKE) --no-print-directory fuzz asan tsan && \
	  nice -n 10 cmake --build $(NATIVE) -j $(JOBS) && \
	  (cd $(NATIVE) && ctest -j $(JOBS) -E '^windows[.]' --output-on-failure); } || status=$$?; \
	echo "Waiting for the Windows tests under Wine..."; wait; \
	cat $(WINE_LOG); \
	[ "$$(cat $(WINE_LOG).status 2>/dev/null)" = 0 ] || status=1; \
	echo "Screenshots of the wizard: $(abspath $(NATIVE))/gui-screenshots"; exit $$status

# The drives as the select-drives page lists them, then every source copied
# onto blanks the simulated operator brings; the copies it takes out are kept
# as image files and checked against the sample discs with isoinfo, bchunk
# and cmp. Then the same bay in the virtual wizard (tools/demo-wizard): on
# the display for the person to use, or, without a display, walked through
# on Xvfb, each page photographed into DEMO_SHOTS with a contact sheet.
DEMO_COPIES := $(NATIVE)/demo-copies
DEMO_SHOTS  := $(NATIVE)/demo-wizard

demo: deps native-configure windows-configure
	cmake --build $(NATIVE) -j $(JOBS) --target vestrel-drives vestrel-copy
	cmake --build $(WINDOWS) -j $(JOBS) --target t4kVestrel-virtual wizard_demo
	$(NATIVE)/tools/vestrel-drives --sim-default
	rm -rf $(DEMO_COPIES)
	$(NATIVE)/tools/vestrel-copy --sim-default --timeout 300 --finished $(DEMO_COPIES)
	tools/check-demo-copies $(DEMO_COPIES) $(NATIVE)/simulator/samples
	tools/demo-wizard $(WINDOWS) $(DEMO_SHOTS)

# The round trip of a message to the wizard's frame from another process,
# p50 and p99, idle on the select page and while eight recorders write at
# once, measured in one run; the target is a p99 under 100 ms while writing.
bench-wizard: deps windows-configure
	cmake --build $(WINDOWS) -j $(JOBS) --target wizard_bench
	tools/run-gui-tests 96 $(WINDOWS)/bench-wizard $(WINDOWS)/tests/wizard_bench.exe

# What a Windows user downloads and unpacks: the installer beside the wizard
# it installs, and a read-me (with Windows line ends).
PACKAGE := $(BUILD)/package

package: deps windows-configure
	cmake --build $(WINDOWS) -j $(JOBS) --target t4kInstaller t4kVestrel
	rm -rf $(PACKAGE)
	mkdir -p $(PACKAGE)/t4kVestrel
	cp $(WINDOWS)/installer/t4kInstaller.exe $(WINDOWS)/wizard/t4kVestrel.exe $(PACKAGE)/t4kVestrel/
	sed 's/$$/\r/' resources/package/ReadMe.txt > $(PACKAGE)/t4kVestrel/ReadMe.txt
	cd $(PACKAGE) && zip -q -X -r t4kVestrel.zip t4kVestrel
	@echo "Package: $(abspath $(PACKAGE))/t4kVestrel.zip"

clean:
	rm -rf $(BUILD)
