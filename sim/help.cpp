#include "sim/config.h"

namespace tlx::sim {

const char kHelpText[] = R"(Usage: callshop-sim [OPTIONS]

A call shop server for Tellarix consoles: logs operators in, announces the booths and the
web address, and sends call events (scripted, generated or as a flood).

Addresses
  --listen ADDR:PORT      consoles connect here (default 127.0.0.1:1804; port 0 = any free)
  --http ADDR:PORT        web interface (default 127.0.0.1:1805; port 0 = any free)
  --no-http               do not serve the web interface
  --web-address URL       address announced in the booth list (default
                          http://<http address>/); a missing final '/' is added

Accounts and booths
  --config FILE           read options from FILE, one "name value" a line (see README)
  --user NAME             an account; must be followed by --password
  --password PW           the password of the --user before it
  --account "NAME PW"     an account in one option (the config file's form)
  --booths LIST|COUNT     booth keys "1,2,A" or a count N for keys 1..N (default 6)
  --booth KEY             one more booth key
  --tariff "PREFIX PRICE DESCRIPTION"
                          a line of the rate table, e.g. "00 1.20 International"
                          (default: 0 Local 0.10, 06 Mobile 0.35, 00 International 1.20,
                          0800 Free call 0.00)
  Without accounts the account demo/demo is made. A booth list that does not fit one
  message (254 characters with the web address) is refused at start.

Traffic (one of; without any, only the control channel sends events)
  --scenario FILE         run the steps of FILE for each user (see README)
  --generate              lifelike traffic: dial, connect or reject, finish with cost
  --rate R                generated events a second while booths can act (default 1);
                          calls last their drawn talk time, so a shop where every booth
                          is talking waits for a call to end
  --speed F               play F shop seconds per real second (default 1); durations
                          are shop seconds, so tests can run a day of calls quickly
  --seed N                seed of the generator; same seed, same traffic (default 1)
  --flood N               N events as fast as the console reads them, then a summary
                          line with the state every booth must end in
  --flood-booths M        spread the flood over the first M booths (default all)
  --exit-after-flood      stop once the first flood is written out
  --settle-ms MS          pause after the booth list before generated or flood traffic
                          (default 1000)

Wire and limits
  --short-messages        send type, text and NUL only instead of full 259-byte records
  --max-clients N         consoles connected at once (default 64)
  --max-pending BYTES     unsent bytes kept for one console before it is dropped as a
                          reader that stopped reading (default 1048576)
  --login-timeout S       seconds a connection may take to log in (default 60)
  --keepalive-limit S     keep-alive gaps longer than this are reported (default 20)

Records and control
  --log FILE              JSON-lines record of every message and event ("-" = stdout)
  --control-fifo PATH     read control commands from this FIFO (made if missing)
  --ready-file PATH       once listening, write {"pid":..,"console_port":..,"http_port":..,
                          "web_address":".."} there (for scripts that use port 0)
  --control-stdin         read control commands from standard input
                          Commands: send TYPE TEXT | dial|connect|finish|reject|booths TEXT |
                          raw HEX | drop | status | quit; "@USER " before one aims it at
                          that user's console only.
  --help                  this text

Exit status: 0 after quit or a signal, 1 when a scenario expectation failed, 2 when the
configuration is refused.
)";

}  // namespace tlx::sim
