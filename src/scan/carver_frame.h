#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/frontend.h"
#include "core/scan_state.h"
#include "platform/file_owner.h"
#include "scan/carver_workspace.h"
#include "scan/claimed_file_log.h"
#include "scan/claimed_sector_map.h"
#include "scan/failed_chains.h"
#include "scan/needle_index.h"
#include "source/sector_source.h"
#include "text/ui_text_table.h"

namespace officecarve {

class VerdictQueue;

// Everything a carver may use during one scan.
struct CarverEnv {
  SectorSource& source;
  ClaimedSectorMap& map;
  ScanState& state;
  Frontend& frontend;
  const UiTextTable& texts;
  uint32_t family_mask = kAllFamilies;
  uint32_t bytes_per_sector = 512;
  uint32_t sectors_per_cluster = 1;
  int64_t range_last = -1;
  // Files the saving carvers wrote in this scan, for reports.
  std::vector<RecoveredFile>* recovered = nullptr;
  bool check_verdicts = true;
  // When set, saved files are checked on its workers and reported through it,
  // in order; otherwise each is checked and reported as it is saved.
  VerdictQueue* verdicts = nullptr;
  // The output folder when it does not exist yet: made before the first file
  // is saved, and cleared once it is.
  std::string folder_to_make = {};
  // Storage the calls of one scan reuse; each call has its own without it.
  CarverWorkspace* workspace = nullptr;
  // What the forward searches of the scan's calls learnt; a call without it
  // learns for itself alone.
  NeedleIndexes* needles = nullptr;
  // Where record chains followed in this scan failed; without it each call
  // follows its chain to the end.
  FailedChains* failed_chains = nullptr;
  // Bytes of reading and checking left for putting documents back together
  // across gaps; the scan sets it in proportion to its range.
  uint64_t rebuild_work_left = 256ull << 20;
  // Who gets the files and folders the scan makes (root working for a user).
  std::optional<FileOwner> owner = {};
  // When set, every completed carve is logged here with its byte runs, under
  // the kind of the candidate being carved.
  ClaimedFileLog* claimed = nullptr;
  FileKind carving_kind = FileKind::None;
  // Carver calls that hold claims they may still release (a carver may
  // start one while another is going on).
  int calls_claiming = 0;
};

// The frame every carver goes through for one candidate: the start (claim and
// read the header unit), the sequential reader that steps over units other
// files claimed, and the two endings. A call that ends neither way releases
// its claims when it goes out of scope, so no path can leak a claim.
class CarverCall {
 public:
  static constexpr uint64_t kGrowthBytes = 1 << 20;
  static constexpr uint64_t kProgressEveryUnits = 200;

  CarverCall(CarverEnv& env, int64_t offset);
  ~CarverCall();
  CarverCall(const CarverCall&) = delete;
  CarverCall& operator=(const CarverCall&) = delete;

  // False when the header unit was already claimed or could not be read.
  bool Started() const { return started_; }

  // Why the last ReadUntil or SkipClaim stopped short.
  enum class Stop { kNone, kRangeEnd, kShortRead };

  // Makes the buffer hold at least `bytes` bytes of the file, reading further
  // unclaimed units. False when the scan range ended or a read came back short
  // (LastStop() tells which).
  bool ReadUntil(uint64_t bytes) {
    // Walks mostly ask for bytes they already hold.
    if (held_ >= bytes && started_ && !ended_) {
      last_stop_ = Stop::kNone;
      return true;
    }
    return ReadMoreUntil(bytes);
  }
  // Claims the next unclaimed unit without reading it. False when none is left
  // in the scan range.
  bool SkipClaim();
  // Claims the next `units` unclaimed units without reading them, a run at a
  // time, as that many SkipClaim calls would. False when the scan range ends
  // first (the units up to its end are then claimed).
  bool SkipClaimUnits(uint64_t units);
  // Claims the next `units` unclaimed units as SkipClaimUnits does, but reads
  // each on the way, without holding it: false as well at the first that
  // cannot be read (last stop kShortRead), as ReadUntil would be.
  bool ClaimReadableUnits(uint64_t units);
  // Steps over the inside of a record that starts at buffer `position` with
  // `rest` bytes still to come: while at least two units of it are left and
  // it covers a whole unit past the held bytes, that unit is claimed unread
  // and `rest` shrinks by a unit, so only the record's end is read. Returns
  // the units skipped, or nothing when the scan range ends first (and then
  // nothing more is claimed).
  std::optional<uint64_t> SkipInsideRecord(uint64_t position, uint64_t& rest);
  // Where a pattern lies in the units still to come, found without reading
  // them into the buffer or claiming them: the units ReadUntil would take
  // next, in order, searched as one stream that continues `tail` (the
  // stream's last bytes so far). Occurrences starting in the tail count,
  // after one more unit, as a search that rereads the tail with each new
  // unit finds them. At most `max_units` units are taken. With `from_units`
  // the search begins that many units ahead (`tail` then ends just before
  // them), and the counts include them.
  struct Ahead {
    using Outcome = NeedleIndex::StreamSearch::End;
    Outcome outcome = Outcome::kLimit;
    // Found: the units to take through the one holding the occurrence's last
    // byte. Otherwise: the units that could be taken before the search stopped.
    uint64_t units = 0;
  };
  Ahead FindAhead(std::string_view needle, std::span<const uint8_t> tail, uint64_t max_units,
                  uint64_t from_units = 0);
  // The first occurrence of `needle` lying wholly in the held bytes from
  // `from` on, as a search of Bytes() finds it. While the held bytes are the
  // source's own from the header on, the scan's index answers: a candidate
  // below that holds the same bytes, or searches ahead through them, does
  // not search them again.
  std::optional<uint64_t> FindHeld(std::string_view needle, uint64_t from);

  // For walks along a chain of records, at each record after the header's
  // own: true when a chain of the kind being carved that went through the
  // record at buffer `position` (held) is known to have failed, so this one
  // fails from there too. Otherwise the record is noted for FailChain.
  bool ChainFailsAt(uint64_t position);
  // The records noted so far lead on only through what the walk carries
  // from them (a clock, a count), so they are not remembered when it fails.
  void RestartChain() { chain_records_->clear(); }
  // The chain failed for reasons of its own (it broke or ran out, not a check
  // of the header's): its records are remembered and the call fails.
  void FailChain();

  // The source unit that ReadUntil would take as the `index`-th unit after
  // the held ones (0 the next), without claiming it; -1 past the scan range.
  // Costs a step per claimed stretch in between.
  int64_t UnitAhead(uint64_t index);
  // Copies the file's bytes [position, position + out.size()) from the held
  // ones and the units ReadUntil would take next, without claiming or
  // holding those, for a carver that checks a table far ahead before taking
  // everything up to it. Only for calls that have not skipped or dropped
  // bytes. False past the scan range or when a unit cannot be read.
  bool PeekAt(uint64_t position, std::span<uint8_t> out);

  // Releases the claims on the held units [first, end) of each stretch
  // (ascending, disjoint; in units from the buffer's start): the file turned
  // out not to contain them, as the gaps between a document's fragments. Only
  // for calls that hold every unit they claimed, in order; false otherwise,
  // and then nothing is released. Afterwards the buffer no longer maps onto
  // the claims.
  bool ReleaseHeldUnits(std::span<const std::pair<uint64_t, uint64_t>> stretches);
  // Releases the claimed units beyond ceil(file_end / unit) from the end of
  // the claim list; the read position follows them back.
  void TrimTo(uint64_t file_end);
  // Drops the whole units before buffer_position from the buffer (long
  // streams stay small); buffer_position moves with the bytes.
  void Compact(uint64_t& buffer_position);
  // Cuts the held bytes to `bytes` (never grows).
  void ShrinkHeld(uint64_t bytes);
  // Removes the held bytes [from, to) and moves the rest down, for streams
  // that keep their start but drop a stretch in the middle.
  void DropHeld(uint64_t from, uint64_t to);
  // Shows "sector: header, read position" on the recovery window and pumps
  // messages, as ReadUntil does every 200 units.
  void ShowProgress();
  // Makes the units claimed so far permanent, as Complete would, without
  // ending the call: a later Fail no longer releases them. For carvers past
  // the last point where they can fail, so the claim list stays short however
  // far a declared length runs.
  void KeepClaims();
  Stop LastStop() const { return last_stop_; }

  std::span<const uint8_t> Bytes() const { return {buffer_->data(), static_cast<size_t>(held_)}; }
  uint64_t Held() const { return held_; }
  int64_t HeaderOffset() const { return header_offset_; }
  int64_t ReadPosition() const { return read_position_; }
  // The units claimed so far, in the order claimed (ascending), as runs.
  const std::vector<UnitRun>& ClaimRuns() const { return *claims_; }
  // The same unit by unit.
  std::vector<int64_t> ClaimList() const;
  uint64_t ClaimedUnitCount() const { return claimed_units_; }
  // The claimed units as contiguous stretches on the source, in file order;
  // the last run is cut so the runs cover at most `file_length` bytes.
  std::vector<ByteRun> ByteRuns(uint64_t file_length = UINT64_MAX) const;
  CarverEnv& Env() { return env_; }

  // The file ends here: keep every claim and claim the rest of its last cluster.
  void Complete();
  // Not a file (or not one we can bound): release every claimed unit.
  void Fail();

 private:
  bool ReadMoreUntil(uint64_t bytes);
  void ClaimUnit(int64_t unit);
  void ClaimRun(int64_t first, int64_t count);
  void EnsureRoom(uint64_t bytes);
  void EndStorage();
  // The next unclaimed unit at or after the read position, or -1 past the range.
  int64_t NextUnclaimedUnit();
  // The claims are about to be kept: chains remembered as failing may lead
  // elsewhere once units beyond unclaimed ones are claimed.
  void ForgetChainsIfClaimsSkipUnclaimed();
  void NoteSkipped(uint64_t units);
  void StopClaiming();
  // Whether what a kept search found still holds, brought up to date with
  // the claims kept since it looked.
  bool BringUpToDate(NeedleIndex::StreamSearch& search, std::string_view needle, UnitEdges& edges,
                     std::vector<uint8_t>& seam) const;
  // The source unit whose bytes are at buffer unit `buffer_unit`, or -1 when
  // the buffer no longer says.
  int64_t SourceUnitOfBufferUnit(uint64_t buffer_unit);

  CarverEnv& env_;
  int64_t header_offset_;
  int64_t read_position_ = 0;
  uint64_t held_ = 0;
  // The workspace's storage, or the call's own when the workspace is taken.
  ByteBuffer* buffer_;
  std::vector<UnitRun>* claims_;
  uint64_t claimed_units_ = 0;
  bool leased_ = false;
  ByteBuffer own_buffer_;
  std::vector<UnitRun> own_claims_;
  // Runs of the units KeepClaims let go of, kept only for the claimed-file
  // log; past the log's limit they are given up as incomplete.
  std::vector<ByteRun> kept_runs_;
  bool kept_runs_complete_ = true;
  // How buffer units map to claimed units: units Compact dropped, and from
  // which buffer unit on how many more units were claimed than held (skips).
  // KeepClaims takes units off the claim list; DropHeld, ShrinkHeld and a
  // TrimTo that releases lose the mapping.
  uint64_t dropped_units_ = 0;
  std::vector<SkipMark>* skip_marks_;
  std::vector<SkipMark> own_skip_marks_;
  uint64_t kept_units_ = 0;
  int64_t last_kept_unit_ = -1;
  bool unit_mapping_lost_ = false;
  // Where the records ChainFailsAt saw lie on the source; past the limit the
  // rest are not remembered.
  static constexpr size_t kMaxChainRecords = 1u << 16;
  std::vector<int64_t>* chain_records_;
  std::vector<int64_t> own_chain_records_;
  // UnitAhead's last answer: the `index`-th unit ahead of `read_position`,
  // while the map stood at `map_changes`.
  struct AheadMemo {
    int64_t read_position = -1;
    uint64_t map_changes = 0;
    uint64_t index = 0;
    int64_t unit = -1;
  };
  AheadMemo ahead_memo_;
  // The unit PeekAt read last, kept for the next peek into it.
  int64_t peeked_unit_ = -1;
  std::vector<uint8_t> peeked_;
  size_t run_cursor_ = 0;
  uint64_t units_before_cursor_ = 0;
  // Indexes of a call that has no scan's to share.
  std::unique_ptr<NeedleIndexes> own_needles_;
  bool started_ = false;
  bool ended_ = false;
  // Counted in the scan's calls_claiming.
  bool claiming_ = false;
  Stop last_stop_ = Stop::kNone;
  std::string progress_text_;
};

}  // namespace officecarve
