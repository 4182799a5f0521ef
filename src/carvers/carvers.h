#pragma once

#include <cstdint>
#include <string_view>

namespace officecarve {

struct CarverEnv;
class HeaderWalks;
class SectorSource;

// Each carver bounds the file that starts at byte `offset`, claims its units
// and, for the two document carvers, writes it into `folder`. The others only
// claim, so the document carvers step over their sectors.

// carvers/office/
void CarveCompoundFile(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveZippedXml(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveOpenDocument(CarverEnv& env, std::string_view folder, int64_t offset);

// carvers/archive/
void CarvePdf(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveZip(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveRar(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveCabinet(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveSevenZip(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveAsfObjects(CarverEnv& env, std::string_view folder, int64_t offset);

// carvers/media/
void CarveJpeg(CarverEnv& env, std::string_view folder, int64_t offset);
// Whether the picture at `inner` lies in a header segment of the one at
// `outer` (an Exif thumbnail, a preview in a comment).
bool JpegHeaderHolds(SectorSource& source, HeaderWalks& walks, int64_t outer, int64_t inner);
void CarvePng(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveBitmap(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveRiff(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveRiffDrawing(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveAsfDeclared(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveRaf(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveTiff(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveIsoMedia(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveMpegProgramStream(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveMpeg2ProgramStream(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveMp3(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveMatroska(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveTransportStream(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveBareTransportStream(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveX3f(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveGif(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveWebp(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveSqlite(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveWindowsExecutable(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveOgg(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveAiff(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveSunAudio(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveWave64(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveWavPack(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveCaf(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveAdts(CarverEnv& env, std::string_view folder, int64_t offset);

}  // namespace officecarve
